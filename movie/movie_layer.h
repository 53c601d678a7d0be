#pragma once
// The movie layer's start, and movies drawn into graph handles.
#include <cstdint>

struct MovieRecord;

// The graph layer's upload callback: the movie's current frame into graph `graph`.
int CopyMovieFrameToGraph(MovieRecord* record, uint32_t graph);

// The movie layer's start: the YUV tables, the pump's DrawAllMovies, pause and resume
// on deactivation and activation, and the graph loader's movie entries. Returns 0.
int StartMovieLayer();
// Registers StartMovieLayer as the library's YUV-table step. Called before InitLibrary.
void RegisterMovieLibrarySteps();
