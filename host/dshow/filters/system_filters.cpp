#include "host/dshow/filters/system_filters.h"

#include "filters/system_allocator.h"
#include "host/com/class_registry.h"
#include "host/dshow/filter_graph.h"
#include "host/dshow/filters/audio_renderer.h"
#include "host/dshow/filters/media_file_source.h"
#include "host/dshow/filters/mp3_decoder_filter.h"
#include "host/dshow/filters/null_renderer.h"

// Registering again only replaces the same factories.
void RegisterSystemFilters() {
  RegisterFilterGraphClasses();
  RegisterFrameworkClasses();
  RegisterComClass(CLSID_NullRenderer, CreateNullRenderer);
  RegisterComClass(CLSID_DSoundRender, CreateAudioRenderer);
  RegisterComClass(CLSID_Mp3DecoderFilter, CreateMp3DecoderFilter);
  RegisterComClass(CLSID_MediaFileSource, CreateMediaFileSource);
}
