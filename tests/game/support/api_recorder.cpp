#include "game/support/api_recorder.h"

#include <kelvo/api.h>

#include <cstdarg>
#include <cstdio>
#include <sstream>

ApiRecorder& Recorder() {
    static ApiRecorder recorder;
    return recorder;
}

std::string ApiCall::ToString() const {
    std::ostringstream out;
    out << name << '(';
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i != 0) out << ", ";
        if (auto* n = std::get_if<std::int64_t>(&args[i]))
            out << *n;
        else if (auto* d = std::get_if<double>(&args[i]))
            out << *d;
        else
            out << '"' << std::get<std::string>(args[i]) << '"';
    }
    out << ')';
    return out.str();
}

void ApiRecorder::Reset() { *this = ApiRecorder(); }

std::vector<ApiCall> ApiRecorder::Calls(const std::string& name) const {
    std::vector<ApiCall> found;
    for (const auto& call : calls_)
        if (call.name == name) found.push_back(call);
    return found;
}

std::size_t ApiRecorder::Count(const std::string& name) const {
    std::size_t n = 0;
    for (const auto& call : calls_) n += call.name == name;
    return n;
}

std::string ApiRecorder::Trace() const {
    std::string text;
    for (const auto& call : calls_) text += call.ToString() + "\n";
    return text;
}

void ApiRecorder::QueuePadStates(const std::vector<std::uint32_t>& states) {
    padStates_.insert(padStates_.end(), states.begin(), states.end());
}

void ApiRecorder::SetKeyDown(int keyCode, bool down) {
    if (down)
        keysDown_.insert(keyCode);
    else
        keysDown_.erase(keyCode);
}

void ApiRecorder::SetSoundPlaying(int handle, bool playing) {
    if (playing)
        soundsPlaying_.insert(handle);
    else
        soundsPlaying_.erase(handle);
}

void ApiRecorder::Record(const char* name, std::vector<ApiArg> args) { calls_.push_back({name, std::move(args)}); }

int ApiRecorder::TakeHandles(const char* fileName, int count) {
    if (fileName == nullptr || count <= 0 || failingFiles_.count(fileName) != 0) return -1;
    int first = nextHandle_;
    nextHandle_ += count;
    return first;
}

std::uint32_t ApiRecorder::NextPadState() {
    if (!padStates_.empty()) {
        lastPadState_ = padStates_.front();
        padStates_.pop_front();
    }
    return lastPadState_;
}

std::uint32_t ApiRecorder::ReadClock() {
    std::uint32_t value = now_;
    now_ += clockStep_;
    return value;
}

int ApiRecorder::ProcessMessage() {
    if (closeAfter_ < 0) return 0;
    return messageCalls_++ < closeAfter_ ? 0 : -1;
}

// ---- the stand-in operations ----------------------------------------------

namespace {

using Args = std::vector<ApiArg>;

ApiArg I(std::int64_t value) { return value; }
ApiArg D(double value) { return value; }
ApiArg S(const char* text) { return std::string(text != nullptr ? text : "(null)"); }

// Records the call and returns the scripted result for it, or `fallback`.
int Finish(const char* name, Args args, int fallback = 0) {
    ApiRecorder& recorder = Recorder();
    recorder.Record(name, std::move(args));
    return recorder.HasResult(name) ? recorder.Result(name) : fallback;
}

}  // namespace

int ApiInitFramework() { return Finish("ApiInitFramework", {}); }
int ApiEndFramework() { return Finish("ApiEndFramework", {}); }
int ApiClearScreenLog() { return Finish("ApiClearScreenLog", {}); }
int ApiProcessMessage() { return Finish("ApiProcessMessage", {}, Recorder().ProcessMessage()); }
int ApiSetLogEnabled(int flag) { return Finish("ApiSetLogEnabled", {I(flag)}); }
int ApiSetAllowDoubleStart(int flag) { return Finish("ApiSetAllowDoubleStart", {I(flag)}); }

int ApiGetMilliseconds(int ignored) {
    return Finish("ApiGetMilliseconds", {I(ignored)}, static_cast<int>(Recorder().ReadClock()));
}

int ApiIsKeyDown(int keyCode) { return Finish("ApiIsKeyDown", {I(keyCode)}, Recorder().KeyDown(keyCode) ? 1 : 0); }

int ApiGetPadState(int inputType) {
    return Finish("ApiGetPadState", {I(inputType)}, static_cast<int>(Recorder().NextPadState()));
}

int ApiSetVBlankWait(int flag) { return Finish("ApiSetVBlankWait", {I(flag)}); }

const void* ApiGetScreenPixelFormatBlock() {
    Recorder().Record("ApiGetScreenPixelFormatBlock", {});
    return nullptr;
}

ColorCode ApiMakeColorCode(int r, int g, int b) {
    Recorder().Record("ApiMakeColorCode", {I(r), I(g), I(b)});
    return (static_cast<ColorCode>(r & 0xFF) << 16) | (static_cast<ColorCode>(g & 0xFF) << 8) |
           static_cast<ColorCode>(b & 0xFF);
}

int ApiPresentScreen() { return Finish("ApiPresentScreen", {}); }
int ApiReleaseGraph(int graphHandle, int flag) { return Finish("ApiReleaseGraph", {I(graphHandle), I(flag)}); }
int ApiReleaseAllGraphs(int flag) { return Finish("ApiReleaseAllGraphs", {I(flag)}); }

int ApiLoadImageToGraph(const char* fileName, int flag) {
    int handle = Recorder().TakeHandles(fileName, 1);
    return Finish("ApiLoadImageToGraph", {S(fileName), I(flag)}, handle);
}

int ApiLoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth,
                            int pieceHeight, int* handles, int flag) {
    int first = handles != nullptr ? Recorder().TakeHandles(fileName, total) : -1;
    if (first >= 0)
        for (int i = 0; i < total; ++i) handles[i] = first + i;
    return Finish("ApiLoadImageToDivGraphs",
                  {S(fileName), I(total), I(columns), I(rows), I(pieceWidth), I(pieceHeight), I(flag)},
                  first >= 0 ? 0 : -1);
}

int ApiClearDrawTarget() { return Finish("ApiClearDrawTarget", {}); }

int ApiBlitGraph(int x, int y, int graphHandle, int transparent) {
    return Finish("ApiBlitGraph", {I(x), I(y), I(graphHandle), I(transparent)});
}

int ApiStretchBlitGraph(int x1, int y1, int x2, int y2, int graphHandle, int transparent) {
    return Finish("ApiStretchBlitGraph", {I(x1), I(y1), I(x2), I(y2), I(graphHandle), I(transparent)});
}

int ApiRotateBlitGraph(int x, int y, double scale, double angle, int graphHandle, int transparent, int turn) {
    return Finish("ApiRotateBlitGraph",
                  {I(x), I(y), D(scale), D(angle), I(graphHandle), I(transparent), I(turn)});
}

int ApiMirrorBlitGraph(int x, int y, int graphHandle, int transparent) {
    return Finish("ApiMirrorBlitGraph", {I(x), I(y), I(graphHandle), I(transparent)});
}

int ApiPaintBox(int x1, int y1, int x2, int y2, ColorCode color, int filled) {
    return Finish("ApiPaintBox", {I(x1), I(y1), I(x2), I(y2), I(color), I(filled)});
}

// The text is recorded as the framework would draw it: formatted, and cut to
// its 1024-byte buffer.
int ApiDrawTextFormatted(int x, int y, ColorCode color, const char* format, ...) {
    char text[1024] = {};
    if (format != nullptr) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    return Finish("ApiDrawTextFormatted", {I(x), I(y), I(color), S(text)});
}

int ApiSetBlendModeParam(int blendMode, int parameter) {
    return Finish("ApiSetBlendModeParam", {I(blendMode), I(parameter)});
}

int ApiSetBrightColor(int r, int g, int b) { return Finish("ApiSetBrightColor", {I(r), I(g), I(b)}); }
int ApiSelectDrawTarget(int target) { return Finish("ApiSelectDrawTarget", {I(target)}); }
int ApiSetDefaultFontSize(int size) { return Finish("ApiSetDefaultFontSize", {I(size)}); }
int ApiSetDefaultFontThickness(int thickness) { return Finish("ApiSetDefaultFontThickness", {I(thickness)}); }

int ApiSetDefaultFontFace(const char* faceName, int charSet) {
    return Finish("ApiSetDefaultFontFace", {S(faceName), I(charSet)});
}

int ApiDeleteAllSounds(int flag) { return Finish("ApiDeleteAllSounds", {I(flag)}); }

int ApiLoadSoundFile(const char* fileName, int bufferCount, int kind) {
    int handle = Recorder().TakeHandles(fileName, 1);
    return Finish("ApiLoadSoundFile", {S(fileName), I(bufferCount), I(kind)}, handle);
}

int ApiPlaySoundHandle(int soundHandle, int playType, int fromStart) {
    return Finish("ApiPlaySoundHandle", {I(soundHandle), I(playType), I(fromStart)});
}

int ApiStopSoundHandle(int soundHandle) { return Finish("ApiStopSoundHandle", {I(soundHandle)}); }

int ApiIsSoundPlaying(int soundHandle) {
    return Finish("ApiIsSoundPlaying", {I(soundHandle)}, Recorder().SoundPlaying(soundHandle) ? 1 : 0);
}
