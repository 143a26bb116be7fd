// Stand-in for movies until they are built: no graphic shows one.
#include "graphics/movie.h"

int CloseGraphMovie(GraphRecord*) { return -1; }
