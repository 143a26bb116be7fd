// Writes a small test movie: moviemaker FILE [FRAMES [WIDTH HEIGHT]].
// Numbered solid-colour frames at 10 per second, with a tone from the
// middle on. The file's extension picks the container and its codecs:
// .avi, .mov and .nut raw; .mpg MPEG-1; .mp4 H.264 and AAC; .webm VP8 and
// Vorbis; .ogg or .ogv Theora and Vorbis; any other name AVI.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "movie_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [FRAMES [WIDTH HEIGHT]]\n", argv[0]);
        return 2;
    }
    TestMovieSpec spec;
    if (const char* container = TestMovieContainerFor(argv[1])) spec.container = container;
    if (argc > 2) spec.frames = std::atoi(argv[2]);
    if (argc > 4) {
        spec.width = std::atoi(argv[3]);
        spec.height = std::atoi(argv[4]);
    }
    spec.toneFromFrame = spec.frames / 2;
    // MPEG-1 has no frame rate of 10 nor MP2 a sound rate of 22050.
    if (spec.container == std::string_view("mpeg")) {
        spec.framesPerSecond = 25;
        spec.soundRate = 32000;
    }
    if (!WriteTestMovie(argv[1], spec)) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
