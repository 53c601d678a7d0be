#include "filters/system/system_filters.h"

#include "filters/system/audio_renderer.h"
#include "filters/system/media_file_source.h"
#include "filters/system/mp3_decoder_filter.h"
#include "filters/system/null_renderer.h"
#include "filters/system_allocator.h"
#include "host/com/class_registry.h"
#include "host/dshow/filter_graph.h"

// Registering again only replaces the same factories.
void RegisterSystemFilters() {
  RegisterFilterGraphClasses();
  RegisterFrameworkClasses();
  RegisterComClass(CLSID_NullRenderer, CreateNullRenderer);
  RegisterComClass(CLSID_DSoundRender, CreateAudioRenderer);
  RegisterComClass(CLSID_Mp3DecoderFilter, CreateMp3DecoderFilter);
  RegisterComClass(CLSID_MediaFileSource, CreateMediaFileSource);
}
