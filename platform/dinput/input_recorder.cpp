// KELVO_RECORD: the keys a program read, from the window's keyboard (or,
// headless, from its input script), frame by frame, kept so that a run played
// by hand can be replayed headless. Entry i
// holds what was read while i frames had been presented, as in the input
// script; the first read of a frame stands for the frame. A frame without a
// read repeats the one before. The file is written when the program exits.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "dinput/dinput_internal.h"
#include "platform/display.h"
#include "platform/backend.h"

namespace {

struct Recording {
    std::mutex mutex;
    std::string path;
    std::vector<PlatformInputFrame> frames;
};

Recording& TheRecording() {
    static Recording recording;
    return recording;
}

void WriteRecording() {
    Recording& r = TheRecording();
    std::lock_guard lock(r.mutex);
    std::FILE* file = std::fopen(r.path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "KELVO_RECORD: cannot write %s\n", r.path.c_str());
        return;
    }
    const std::string text = "# recorded keys, one line per presented frame\n" + PlatformFormatInputScript(r.frames);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

}  // namespace

void InputRecordKeys(const BYTE* dik) {
    static const char* path = std::getenv("KELVO_RECORD");
    if (path == nullptr || *path == '\0' || !PlatformIsMainThread()) return;
    Recording& r = TheRecording();
    std::lock_guard lock(r.mutex);
    if (r.path.empty()) {
        r.path = path;
        std::atexit(WriteRecording);
    }
    const std::size_t index = static_cast<std::size_t>(PlatformProgramFrameCount());
    if (index < r.frames.size()) return;  // this frame was read already
    PlatformInputFrame frame;
    for (int code = 0; code < 256; ++code)
        if (dik[code] & 0x80) frame.keys.push_back(code);
    while (r.frames.size() < index) r.frames.push_back(r.frames.empty() ? PlatformInputFrame{} : r.frames.back());
    r.frames.push_back(std::move(frame));
}
