// Writes small test movies with FFmpeg's encoders: solid-colour frames whose
// colour tells their number, and a tone that starts at a chosen frame. By
// default the picture is stored losslessly (raw BGR in an AVI file), so a
// reader can tell every frame's number from its colour; a movie of a lossy
// codec (MPEG-1, H.264, VP8, Theora) comes out near those colours.
#pragma once

#include <cstdint>
#include <string>

struct TestMovieSpec {
    int width = 32;
    int height = 24;
    int frames = 20;
    int framesPerSecond = 10;
    int soundRate = 22050;        // 0: no sound stream
    int toneHz = 1000;
    int toneFromFrame = 10;       // silence before this frame's time, a tone after it
    std::int16_t toneLevel = 12000;
    int soundChannels = 1;        // the tone is the same on each
    // "avi", "mov" or "nut": raw BGR and 16-bit PCM. "mpeg": an MPEG-1
    // programme stream of MPEG-1 video and MP2 sound, which needs a frame
    // rate MPEG-1 has (24, 25, 30...) and a sound rate MP2 has (32000,
    // 44100, 48000...). The containers of today's files, lossy: "mp4" (H.264
    // and AAC), "webm" (VP8 and Vorbis), "ogg" (Theora and Vorbis).
    const char* container = "avi";
    // The picture's encoder, when not the container's own: "libx264" puts
    // H.264 with its parameter sets in the stream into "mpeg" or "avi".
    const char* videoEncoder = nullptr;
    // Frames of MPEG-1 video and the lossy containers after this many start a
    // new group (each with its own sequence header in MPEG-1); 0: one a second.
    int keyFrameEvery = 0;
    // Each frame's colour is shaded across the picture (a step every few
    // pixels), so a picture cut or shifted wrongly shows.
    bool shaded = false;
    // Where the picture and the sound start in the file, in milliseconds of
    // its clock (as `-itsoffset` puts them): a stream that starts later
    // than the other is written later. For the containers with timestamps
    // of their own ("mp4", "webm", "ogg", "mov").
    int videoStartMs = 0;
    int soundStartMs = 0;
    // From this frame on (-1: never) both streams are timed this many
    // seconds later: a file whose times jump beyond any real stream's.
    int jumpFromFrame = -1;
    std::int64_t jumpSeconds = 0;
};

struct FrameColour {
    int r, g, b;
};

// The colour of frame n: every channel exact in 5:6:5 and in 8:8:8, and no
// two of the first 64 frames alike.
FrameColour TestMovieFrameColour(int frame);
// The frame whose colour this is (after 5:6:5 or 8:8:8), or -1.
int TestMovieFrameOf(FrameColour colour, int frames);

// True when the file was written.
bool WriteTestMovie(const std::string& path, const TestMovieSpec& spec);
// The container a file name's extension asks for (.avi, .mov, .nut, .mpg,
// .mp4, .webm, .ogg or .ogv), or null.
const char* TestMovieContainerFor(const std::string& path);
