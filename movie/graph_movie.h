#pragma once
// Movies the Theora decoder does not take, played through a media-filter graph ending
// in the library's frame renderer.
#include <cstdint>

struct MovieRecord;

// Builds the graph for `fileName` into the record (rendering a temporary copy when the
// graph cannot open the file by its name): 0, or -1 with the failed step logged.
// `copyable` is false when the file layer has already refused the file: no copy is
// tried, so the refusal is not logged twice.
int BuildMovieGraph(MovieRecord* record, const char* fileName, int* width, int* height, bool copyable = true);
// Hands a new frame to the frame callback; rewinds a looping movie at its end and ends
// any other one, unless it is paused.
void UpdateGraphMovieFrame(MovieRecord* record);
// Stops the graph, deletes a temporary copy and releases every interface the record
// holds. Nothing of the renderer's is freed here: the renderer owns its frame.
void ReleaseMovieGraph(MovieRecord* record);
