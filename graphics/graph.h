#pragma once
// Graph handles: images that can be drawn, each held in a memory image of the screen's
// class (RGB565; with alpha when its source had alpha, colour-keyed on black otherwise).
// Screen graphs may also be draw targets. No code outside the graphics layer reads a
// GraphRecord.
#include <string>

#include "image/image_record.h"
#include "image/memimg.h"

constexpr int kGraphHandleCapacity = 32768;

struct GraphRecord {
  MEMIMG image;        // the graph's own memory image
  int width;
  int height;
  int isScreen;        // made by MakeScreenGraph: may be selected as draw target
  int movieHandle;     // the bound movie, or -1
  std::string fileName;  // the file it was loaded from, empty when none
};

// Loads an image file (PNG) through the file-access layer. A file no image loader
// accepts is offered to the movie layer (see SetMovieGraphEntries). The new handle, or
// -1 (logged) on failure.
int LoadGraphFromFile(const char* fileName);
// A graph holding a copy of `image` (8-bit paletted, 24- or 32-bit), with alpha when
// the image's format has alpha. The new handle, or -1.
int CreateGraphFromImage(const ImageRecord* image);
// A graph of the given size that can be drawn into (SetDrawScreen) and drawn; black.
int MakeScreenGraph(int width, int height);
// A new graph holding a copy of the rectangle (x, y, width, height) of `source`, e.g.
// one cell of a sprite sheet. -1 when the rectangle is not inside the source.
int DeriveGraph(int x, int y, int width, int height, int source);
// Frees the graph (closing its bound movie); 0, or -1 for a handle that is not a live
// graph.
int ReleaseGraphHandle(int graph);
// Frees every graph (graphics end).
void ReleaseAllGraphs();
int GetGraphSize(int graph, int* width, int* height);

// The record of a live graph, else null.
GraphRecord* GetGraphRecord(int graph);

// Converts `image` (8-bit paletted, 24- or 32-bit) into the graph's memory image at
// (x, y), clipped to the graph; a transfer that covers the whole graph rebuilds its run
// table, a partial one invalidates it. 0, or -1 for a bad handle or format.
int TransferImageToGraph(int graph, int x, int y, const ImageRecord* image);

// The movie layer's entries for graphs made from movie files. Until the movie layer
// registers them, a file that no image loader accepts fails with -1.
struct MovieGraphEntries {
  int (*openMovie)(const char* fileName, int* width, int* height, int mode);
  // Binds the movie's frames to the graph (they arrive through TransferImageToGraph).
  int (*bindToGraph)(int movie, int graph);
  int (*updateFrame)(int movie, int mode);
  int (*closeMovie)(int movie);
};
void SetMovieGraphEntries(const MovieGraphEntries* entries);
// Brings the current movie frame into a graph bound to a movie (every draw calls it).
void UpdateGraphMovie(GraphRecord* record);
