// Writes a small test movie: moviemaker FILE [FRAMES [WIDTH HEIGHT]].
// Numbered solid-colour frames at 10 per second, with a tone from the
// middle on.
#include <cstdio>
#include <cstdlib>

#include "movie_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [FRAMES [WIDTH HEIGHT]]\n", argv[0]);
        return 2;
    }
    TestMovieSpec spec;
    if (argc > 2) spec.frames = std::atoi(argv[2]);
    if (argc > 4) {
        spec.width = std::atoi(argv[3]);
        spec.height = std::atoi(argv[4]);
    }
    spec.toneFromFrame = spec.frames / 2;
    if (!WriteTestMovie(argv[1], spec)) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
