// Stand-ins until movies are built: there are none to run or pause.
#include "graphics/stubs/movie_stubs.h"

int ReleaseAllMovieObjects() { return 0; }
int PlayAllGraphMovies() { return 0; }
int HoldAllGraphMovies() { return 0; }
