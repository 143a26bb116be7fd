// Movies shown in graphics.
#pragma once

struct GraphRecord;
struct D_IDirectDrawSurface7;

#include "core/handle.h"

// Opens a movie file to be shown in a graphic: the movie handle and its
// frame size, or -1.
HandleId OpenMovieToGraph(const char* fileName, int* width, int* height, int option);
// After device loss: every movie's objects built again. 0 or -1.
int ReopenAllMovies();
// Before a graphic with a movie is drawn: the newest frame copied into it
// (at once when forced). 0, or -1 for a bad graphic.
int UpdateGraphMovieFrame(GraphRecord* graph, int force);
// Releases the movie a graphic shows. 0 or -1.
int CloseGraphMovie(GraphRecord* graph);
int ReleaseAllMovieObjects();
int PlayAllGraphMovies();
int HoldAllGraphMovies();
// The surface the graphic's movie decodes its frames into; null when none.
D_IDirectDrawSurface7* GetGraphMovieSurface(const GraphRecord* graph);
