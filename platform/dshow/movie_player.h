// What one opened movie file does behind the stream interfaces: the stream
// clock, frames rendered into a DirectDraw surface when their time has come,
// and the sound fed to the mixer.
//
// Nothing runs on a thread of its own. Whoever looks at the stream (its
// time, its state, a sample) brings it up to the clock first: a pending
// frame whose time has come is rendered and its event set, and the sound is
// decoded a second ahead of what the mixer plays. On the headless backend
// the clock is the virtual one, so what a test sees depends on its script
// alone.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dshow/media_reader.h"
#include "platform/dshow.h"

struct SwsContext;
struct AVFrame;
class MovieSound;

// The scaler's vector loops write whole groups of pixels, up to a group past
// the end of a row; a frame's pixels are followed by this much slack so that
// the last row's overrun never reaches the heap.
inline constexpr std::size_t kMovieScalerSlack = 256;

class MoviePlayer {
public:
    // Null when the file has no video stream that decodes.
    static std::shared_ptr<MoviePlayer> Open(const std::string& nativePath, bool withSound);
    ~MoviePlayer();

    int Width() const { return width_; }
    int Height() const { return height_; }
    STREAM_TIME Duration() const { return duration_; }

    // The stream clock: running, paused (by the media control) or stopped.
    enum class State { Stopped, Paused, Running };
    State CurrentState();
    void SetState(State state);
    STREAM_TIME Time();
    HRESULT Seek(STREAM_TIME time);

    // A request for the next frame into `surface` (within `rect`, or the
    // whole surface). Asynchronous: S_OK when the frame's time has come and
    // it was rendered, D_MS_S_PENDING when `event` will be set once it is.
    // Synchronous: the next frame at once. D_MS_S_ENDOFSTREAM when none is
    // left, D_MS_E_BUSY while an earlier request is pending.
    HRESULT Update(D_IDirectDrawSurface7* surface, const RECT* rect, bool async, HANDLE event);
    bool Pending() const { return pending_.surface != nullptr; }
    // Drops a pending request of this surface (its sample is going away).
    void Forget(D_IDirectDrawSurface7* surface);

    void SetVolume(LONG volume);
    LONG Volume() const { return volume_; }

    // Renders a pending frame whose time has come and keeps the sound fed.
    void Pump();

private:
    struct Frame {
        std::vector<std::uint8_t> bgra;  // width x height x 4, then the scaler's slack
        STREAM_TIME time = 0;
    };
    struct Request {
        D_IDirectDrawSurface7* surface = nullptr;
        RECT rect{};
        bool wholeSurface = true;
        HANDLE event = nullptr;
    };

    MoviePlayer() = default;
    bool DecodeInto(Frame* frame);
    // A decoded picture into `frame`, at the movie's size.
    bool Convert(const AVFrame* decoded, Frame* frame);
    // The newest frame whose time has come at `now`, leaving the one after
    // it waiting. False when no frame is left.
    bool TakeDue(STREAM_TIME now, bool any);
    void Render(const Request& request) const;

    std::shared_ptr<MovieBudget> budget_;  // shared by the picture's reader and the sound's
    MediaReader video_;
    SwsContext* scaler_ = nullptr;
    std::unique_ptr<MovieSound> sound_;
    int width_ = 0, height_ = 0;
    STREAM_TIME duration_ = 0;

    State state_ = State::Stopped;
    STREAM_TIME base_ = 0;        // the stream time when the clock last started or stopped
    DWORD runStart_ = 0;          // the millisecond clock when it started

    Frame current_;               // the frame being rendered
    Frame next_;                  // decoded, waiting for its time
    bool haveNext_ = false;
    bool ended_ = false;
    Request pending_;
    LONG volume_ = 0;
};
