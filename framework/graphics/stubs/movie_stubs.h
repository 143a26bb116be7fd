// Movies, as the window procedure runs and pauses them. Declared here until
// the movie issue builds them.
#pragma once

int ReleaseAllMovieObjects();
int PlayAllGraphMovies();
int HoldAllGraphMovies();
