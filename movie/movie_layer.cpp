// The movie layer's start, and movies drawn into graph handles: what the layer hands
// the library's start-up, pump, activation and graph loader.
#include "movie/movie_layer.h"

#include "filters/system/audio_renderer.h"
#include "filters/system/system_filters.h"
#include "graphics/graph.h"
#include "movie/movie.h"
#include "platform/library.h"
#include "platform/log.h"
#include "platform/window.h"

int CopyMovieFrameToGraph(MovieRecord* record, uint32_t graph) {
  if (record->theora) GetTheoraFrameImage(record->decoder, 1, 0);
  if (record->currentFrameImage == nullptr) return -1;
  return TransferImageToGraph(static_cast<int>(graph), 0, 0, record->currentFrameImage);
}

namespace {

int BindMovieToGraph(int movie, int graph) {
  return SetMovieCallback(movie, CopyMovieFrameToGraph, static_cast<uint32_t>(graph));
}

}  // namespace

int StartMovieLayer() {
  InitYuvTables();
  RegisterSystemFilters();  // the graphs of movies the Theora decoder does not take
  SetAudioRendererLog([](const char* line) { WriteLog(line); });
  SetPumpEntry(PumpEntry::DrawAllMovies, [] { DrawAllMovies(); });
  SetActivationHandlers([] { PauseAllMovies(); }, [] { ResumeAllMovies(); });
  const MovieGraphEntries entries = {OpenMovie, BindMovieToGraph, UpdateMovieFrame, CloseMovieHandle};
  SetMovieGraphEntries(&entries);
  return 0;
}

void RegisterMovieLibrarySteps() { RegisterLibraryStep(LibraryStep::YuvTables, StartMovieLayer, nullptr); }
