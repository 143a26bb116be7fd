// Movies shown in graphics.
#pragma once

struct GraphRecord;

// Releases the movie a graphic shows. 0 or -1.
int CloseGraphMovie(GraphRecord* graph);

// Every graphic's movie, as the window procedure runs and pauses them.
int ReleaseAllMovieObjects();
int PlayAllGraphMovies();
int HoldAllGraphMovies();
