// Movies shown in graphics.
#pragma once

struct GraphRecord;

// Releases the movie a graphic shows. 0 or -1.
int CloseGraphMovie(GraphRecord* graph);
int ReleaseAllMovieObjects();
int PlayAllGraphMovies();
int HoldAllGraphMovies();
