// Movies shown in graphics: a movie file opened into a graphic of its frame
// size, whose newest frame is copied into the graphic before each draw.
#pragma once

struct GraphRecord;
struct D_IDirectDrawSurface7;

#include "core/handle.h"

// Opens a movie file to be shown in a graphic: the movie handle and its
// frame size, or -1. With the open flag 1 the movie runs at once.
HandleId OpenMovieToGraph(const char* fileName, int* width, int* height, int openFlag);
// After device loss: every movie's objects built again. 0 or -1.
int ReopenAllMovies();
// Before a graphic with a movie is drawn: the newest frame copied into it
// (at once when forced). 0, or -1 for a bad graphic.
int UpdateGraphMovieFrame(GraphRecord* graph, int force);
// Closes a movie whatever shows it. 0 or -1.
int CloseMovie(HandleId movie);
// Releases the movie a graphic shows. 0 or -1.
int CloseGraphMovie(GraphRecord* graph);
// A part graphic that shows its parent's movie: the movie stays open until
// the last graphic showing it is released.
int ShareGraphMovie(GraphRecord* graph);
int ReleaseAllMovieObjects();
int PlayGraphMovie(HandleId graph);
int HoldGraphMovie(HandleId graph);
int PlayAllGraphMovies();
int HoldAllGraphMovies();
// The surface the graphic's movie decodes its frames into; null when none.
D_IDirectDrawSurface7* GetGraphMovieSurface(const GraphRecord* graph);
// Open movies, for tests and the log.
int CountOpenMovies();
