// Movies shown in graphics.
#pragma once

struct GraphRecord;
struct D_IDirectDrawSurface7;

// Releases the movie a graphic shows. 0 or -1.
int CloseGraphMovie(GraphRecord* graph);
int ReleaseAllMovieObjects();
int PlayAllGraphMovies();
int HoldAllGraphMovies();
// The surface the graphic's movie decodes its frames into; null when none.
D_IDirectDrawSurface7* GetGraphMovieSurface(const GraphRecord* graph);
