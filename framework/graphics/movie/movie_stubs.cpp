// Stand-ins for movies until they are built: no graphic shows one.
#include "graphics/movie/movie.h"

int UpdateGraphMovieFrame(GraphRecord* graph, int) { return graph != nullptr ? 0 : -1; }
int CloseGraphMovie(GraphRecord*) { return -1; }
int ReleaseAllMovieObjects() { return 0; }
int PlayAllGraphMovies() { return 0; }
int HoldAllGraphMovies() { return 0; }
D_IDirectDrawSurface7* GetGraphMovieSurface(const GraphRecord*) { return nullptr; }
HandleId OpenMovieToGraph(const char*, int*, int*, int) { return kNoHandle; }
int ReopenAllMovies() { return 0; }
