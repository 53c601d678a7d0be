#include "graphics/graph.h"

#include <cstddef>
#include <cstring>

#include "graphics/screen.h"
#include "image/png_loader.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/stream.h"
#include "softrender/draw_state.h"

namespace {

TypedHandleTable<GraphRecord> g_graphs(kGraphHandleType, kGraphHandleCapacity);
MovieGraphEntries g_movieEntries = {};

uint16_t ToRgb565(unsigned red, unsigned green, unsigned blue) {
  return static_cast<uint16_t>(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3));
}

// A new graph record with a zero-filled memory image; its handle or -1.
int NewGraph(int width, int height, int alpha, int isScreen) {
  auto* record = new GraphRecord();
  record->width = width;
  record->height = height;
  record->isScreen = isScreen;
  record->movieHandle = -1;
  if (CreateMemImage(&record->image, width, height, kDepthRgb565, 0, alpha) != 0) {
    delete record;
    return WriteLogFormat("Graph: cannot make a %d x %d image", width, height);
  }
  record->image.body->transColor = 0;  // black is the colour key of keyed graphs
  int handle = g_graphs.Add(record);
  if (handle == -1) {
    ReleaseMemImage(&record->image);
    delete record;
    return WriteLog("Graph: the graph handle table is full\n");
  }
  return handle;
}

void FreeRecord(GraphRecord* record) {
  if (record->movieHandle != -1 && g_movieEntries.closeMovie != nullptr)
    g_movieEntries.closeMovie(record->movieHandle);
  ForgetDrawTargetGraph(record);
  ReleaseMemImage(&record->image);
  delete record;
}

// Reads the pixel (x, y) of an image record as blue, green, red, alpha.
void ReadImagePixel(const ImageRecord* image, int x, int y, unsigned* b, unsigned* g, unsigned* r,
                    unsigned* a) {
  const auto* row = static_cast<const uint8_t*>(image->pixels) + static_cast<ptrdiff_t>(y) * image->pitch;
  const ImageFormatDesc& f = image->format;
  uint32_t value;
  if (f.isPaletted) {
    value = f.palette[row[x]];
  } else if (f.bitsPerPixel == 24) {
    const uint8_t* p = row + x * 3;
    value = p[0] | (p[1] << 8) | (p[2] << 16) | 0xFF000000u;
  } else {
    std::memcpy(&value, row + x * 4, 4);
  }
  *b = value & 0xFF;
  *g = (value >> 8) & 0xFF;
  *r = (value >> 16) & 0xFF;
  *a = f.hasAlpha ? value >> 24 : 255;
}

constexpr int kCannotOpen = -3;

int LoadImageFile(const char* fileName, ImageRecord* image) {
  FileHandle file = OpenFileViaTable(fileName, 0, 1, 0);
  if (file == 0) return kCannotOpen;
  int result = LoadPngImage(GetFileStreamFunctions(), static_cast<StreamHandle>(file), image);
  CloseFileViaTable(file);
  return result;
}

int OpenMovieGraph(const char* fileName) {
  if (g_movieEntries.openMovie == nullptr) return -1;
  int width = 0, height = 0;
  int movie = g_movieEntries.openMovie(fileName, &width, &height, 0);
  if (movie == -1) return -1;
  int graph = NewGraph(width, height, 0, 0);
  if (graph == -1) {
    g_movieEntries.closeMovie(movie);
    return -1;
  }
  GraphRecord* record = g_graphs.Get(graph);
  record->movieHandle = movie;
  record->fileName = fileName;
  if (g_movieEntries.bindToGraph != nullptr) g_movieEntries.bindToGraph(movie, graph);
  return graph;
}

}  // namespace

int TransferImageToGraph(int graph, int x, int y, const ImageRecord* image) {
  GraphRecord* record = g_graphs.Get(graph);
  if (record == nullptr || image == nullptr || image->pixels == nullptr) return -1;
  const ImageFormatDesc& f = image->format;
  if (!f.isPaletted && f.bitsPerPixel != 24 && f.bitsPerPixel != 32) return -1;
  Rect area = {x, y, x + image->width, y + image->height};
  const Rect bounds = {0, 0, record->width, record->height};
  ClipRectByRect(&area, &bounds);
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return 0;

  MEMIMG& dst = record->image;
  const int withAlpha = dst.body->alpha;
  for (int row = 0; row < height; ++row) {
    uint8_t* out = dst.pixels + static_cast<ptrdiff_t>(area.top + row) * dst.body->pitch +
                   area.left * (withAlpha ? 4 : 2);
    for (int col = 0; col < width; ++col) {
      unsigned b, g, r, a;
      ReadImagePixel(image, area.left - x + col, area.top - y + row, &b, &g, &r, &a);
      const uint16_t pixel = ToRgb565(r, g, b);
      if (withAlpha) {
        std::memcpy(out + col * 4, &pixel, 2);
        out[col * 4 + 2] = static_cast<uint8_t>(a);
        out[col * 4 + 3] = 0;
      } else {
        std::memcpy(out + col * 2, &pixel, 2);
      }
    }
  }
  NoteMemImageTransfer(&dst, area.left, area.top, width, height);
  // The draw target's pixels change with every draw: its run table is never trusted.
  if (SoftDrawTarget == &dst) dst.body->runTableValid = 0;
  return 0;
}

int LoadGraphFromFile(const char* fileName) {
  if (fileName == nullptr) return -1;
  ImageRecord image;
  const int loaded = LoadImageFile(fileName, &image);
  if (loaded == kPngLoaded) {
    const int graph = CreateGraphFromImage(&image);
    if (graph != -1) g_graphs.Get(graph)->fileName = fileName;
    ReleaseImageRecord(&image);
    return graph;
  }
  if (loaded == kPngNotPng) {
    const int graph = OpenMovieGraph(fileName);
    if (graph != -1) return graph;
    return WriteLogFormat("Graph: no image loader accepts %s", fileName);
  }
  if (loaded == kCannotOpen) return WriteLogFormat("Graph: cannot open %s", fileName);
  return WriteLogFormat("Graph: %s is a broken PNG", fileName);
}

int CreateGraphFromImage(const ImageRecord* image) {
  if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0) return -1;
  const int graph = NewGraph(image->width, image->height, image->format.hasAlpha ? 1 : 0, 0);
  if (graph == -1) return -1;
  if (TransferImageToGraph(graph, 0, 0, image) != 0) {
    ReleaseGraphHandle(graph);
    return -1;
  }
  return graph;
}

int MakeScreenGraph(int width, int height) {
  if (width <= 0 || height <= 0) return -1;
  const int graph = NewGraph(width, height, 0, 1);
  // A whole-image transfer of the black picture: its run table is valid (all skip)
  // until the graph is drawn into.
  if (graph != -1) NoteMemImageTransfer(&g_graphs.Get(graph)->image, 0, 0, width, height);
  return graph;
}

int DeriveGraph(int x, int y, int width, int height, int source) {
  GraphRecord* from = g_graphs.Get(source);
  if (from == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 ||
      x > from->width - width || y > from->height - height)
    return -1;
  const int withAlpha = from->image.body->alpha;
  const int graph = NewGraph(width, height, withAlpha, 0);
  if (graph == -1) return -1;
  from = g_graphs.Get(source);
  MEMIMG& dst = g_graphs.Get(graph)->image;
  const int bytes = withAlpha ? 4 : 2;
  for (int row = 0; row < height; ++row)
    std::memcpy(dst.pixels + static_cast<ptrdiff_t>(row) * dst.body->pitch,
                from->image.pixels + static_cast<ptrdiff_t>(y + row) * from->image.body->pitch + x * bytes,
                static_cast<size_t>(width) * bytes);
  dst.body->transColor = from->image.body->transColor;
  NoteMemImageTransfer(&dst, 0, 0, width, height);
  return graph;
}

int ReleaseGraphHandle(int graph) {
  GraphRecord* record = g_graphs.Remove(graph);
  if (record == nullptr) return -1;
  FreeRecord(record);
  return 0;
}

void ReleaseAllGraphs() {
  for (int slot = 0; slot < g_graphs.capacity(); ++slot) {
    const int handle = g_graphs.HandleAt(slot);
    if (handle != -1) ReleaseGraphHandle(handle);
  }
}

int GetGraphSize(int graph, int* width, int* height) {
  const GraphRecord* record = g_graphs.Get(graph);
  if (record == nullptr) return -1;
  if (width != nullptr) *width = record->width;
  if (height != nullptr) *height = record->height;
  return 0;
}

GraphRecord* GetGraphRecord(int graph) { return g_graphs.Get(graph); }

void SetMovieGraphEntries(const MovieGraphEntries* entries) {
  g_movieEntries = entries != nullptr ? *entries : MovieGraphEntries{};
}

void UpdateGraphMovie(GraphRecord* record) {
  if (record->movieHandle != -1 && g_movieEntries.updateFrame != nullptr)
    g_movieEntries.updateFrame(record->movieHandle, 0);
}
