#include "dshow/movie_player.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "dshow/movie_sound.h"
#include "platform/kernel.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr STREAM_TIME kUnitsPerMillisecond = 10000;

// One channel of a surface's pixel format: each 8-bit value already placed
// in the channel's bits, so a pixel is three look-ups.
struct ChannelTable {
    DWORD value[256] = {};
    explicit ChannelTable(DWORD mask) {
        if (mask == 0) return;
        const int shift = std::countr_zero(mask), bits = std::popcount(mask);
        for (DWORD v = 0; v < 256; ++v) value[v] = (bits >= 8 ? v << (bits - 8) : v >> (8 - bits)) << shift;
    }
};

// Rows of B, G, R, x pixels into surface pixels of `Bytes` bytes.
template <int Bytes>
void WriteRows(const std::uint8_t* from, std::size_t fromPitch, std::uint8_t* to, std::ptrdiff_t toPitch, int columns,
               int rows, const ChannelTable& red, const ChannelTable& green, const ChannelTable& blue, DWORD alpha) {
    for (int y = 0; y < rows; ++y, from += fromPitch, to += toPitch) {
        const std::uint8_t* in = from;
        std::uint8_t* out = to;
        for (int x = 0; x < columns; ++x, in += 4, out += Bytes) {
            const DWORD pixel = blue.value[in[0]] | green.value[in[1]] | red.value[in[2]] | alpha;
            for (int b = 0; b < Bytes; ++b) out[b] = static_cast<std::uint8_t>(pixel >> (8 * b));
        }
    }
}

}  // namespace

std::shared_ptr<MoviePlayer> MoviePlayer::Open(const std::string& nativePath, bool withSound) {
    std::shared_ptr<MoviePlayer> player(new MoviePlayer);
    player->budget_ = std::make_shared<MovieBudget>(nativePath);
    const MovieBudget::Step step(*player->budget_, MovieBudget::StepKind::Open);
    if (!player->video_.Open(nativePath, MediaKind::Video, player->budget_)) return nullptr;
    // The reader made the first picture at the open: its size is the movie's.
    const AVFrame* first = player->video_.Next();
    player->width_ = player->video_.Width();
    player->height_ = player->video_.Height();
    player->ended_ = first == nullptr;
    if (first != nullptr && !player->Convert(first, &player->next_)) return nullptr;
    player->haveNext_ = first != nullptr;
    player->duration_ = player->video_.Duration();
    if (withSound) player->sound_ = MovieSound::Open(nativePath, player->budget_);
    return player;
}

MoviePlayer::~MoviePlayer() { sws_freeContext(scaler_); }

MoviePlayer::State MoviePlayer::CurrentState() {
    Pump();
    return state_;
}

STREAM_TIME MoviePlayer::Time() {
    if (state_ != State::Running) return base_;
    return base_ + static_cast<STREAM_TIME>(timeGetTime() - runStart_) * kUnitsPerMillisecond;
}

void MoviePlayer::SetState(State state) {
    if (state == state_) return;
    base_ = Time();
    runStart_ = timeGetTime();
    state_ = state;
    if (sound_) sound_->SetRunning(state == State::Running);
    Pump();
}

HRESULT MoviePlayer::Seek(STREAM_TIME time) {
    const MovieBudget::Step step(*budget_, MovieBudget::StepKind::Later);
    time = std::clamp<STREAM_TIME>(time, 0, kMaxStreamTime);
    if (!video_.Seek(time)) return E_FAIL;
    base_ = time;
    runStart_ = timeGetTime();
    haveNext_ = false;
    ended_ = false;
    // Frames before the target are decoded and passed over.
    for (;;) {
        if (!DecodeInto(&next_)) {
            ended_ = true;
            break;
        }
        // Far from a key frame, the seek stops short of its target rather
        // than spend the step's budget; the updates go on from there.
        if (next_.time + 1 >= time || !budget_->StepHasRoom()) {
            haveNext_ = true;
            break;
        }
    }
    if (sound_) sound_->Seek(time);
    // A request still waiting is answered from the new place.
    if (Pending() && TakeDue(base_, false)) {
        const Request request = pending_;
        pending_ = Request{};
        Render(request);
        if (request.event != nullptr) SetEvent(request.event);
    }
    return S_OK;
}

bool MoviePlayer::DecodeInto(Frame* frame) {
    const AVFrame* decoded = video_.Next();
    return decoded != nullptr && Convert(decoded, frame);
}

bool MoviePlayer::Convert(const AVFrame* decoded, Frame* frame) {
    // The size is the stream's; a frame of another size is scaled to it.
    scaler_ = sws_getCachedContext(scaler_, decoded->width, decoded->height, static_cast<AVPixelFormat>(decoded->format),
                                   width_, height_, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (scaler_ == nullptr) return false;
    frame->bgra.resize(static_cast<std::size_t>(width_) * height_ * 4 + kMovieScalerSlack);
    std::uint8_t* planes[4] = {frame->bgra.data(), nullptr, nullptr, nullptr};
    const int pitches[4] = {width_ * 4, 0, 0, 0};
    if (sws_scale(scaler_, decoded->data, decoded->linesize, 0, decoded->height, planes, pitches) != height_)
        return false;
    frame->time = video_.FrameTime();
    return true;
}

bool MoviePlayer::TakeDue(STREAM_TIME now, bool any) {
    if (!haveNext_) {
        if (ended_ || !DecodeInto(&next_)) {
            ended_ = true;
            return false;
        }
        haveNext_ = true;
    }
    if (!any && next_.time > now) return false;
    std::swap(current_, next_);
    haveNext_ = false;
    // A late reader gets the newest frame that is due; the ones before it
    // are passed over, as a renderer that keeps to its clock drops them (as
    // many as half the step's budget decodes: the next update goes on).
    while (!any && !ended_ && budget_->StepHasRoom()) {
        if (!DecodeInto(&next_)) {
            ended_ = true;
            break;
        }
        if (next_.time > now) {
            haveNext_ = true;
            break;
        }
        std::swap(current_, next_);
    }
    return true;
}

HRESULT MoviePlayer::Update(D_IDirectDrawSurface7* surface, const RECT* rect, bool async, HANDLE event) {
    if (surface == nullptr) return E_POINTER;
    if (Pending()) return D_MS_E_BUSY;
    const MovieBudget::Step step(*budget_, MovieBudget::StepKind::Later);
    Request request;
    request.surface = surface;
    request.wholeSurface = rect == nullptr;
    if (rect != nullptr) request.rect = *rect;
    request.event = event;
    if (!async) {
        if (!TakeDue(0, true)) return D_MS_S_ENDOFSTREAM;
        Render(request);
        return S_OK;
    }
    // The next frame must exist before the request can wait for it.
    if (!haveNext_ && !TakeDue(-1, false) && ended_) return D_MS_S_ENDOFSTREAM;
    if (TakeDue(Time(), false)) {
        Render(request);
        return S_OK;
    }
    if (ended_ && !haveNext_) return D_MS_S_ENDOFSTREAM;
    pending_ = request;
    return D_MS_S_PENDING;
}

void MoviePlayer::Forget(D_IDirectDrawSurface7* surface) {
    if (pending_.surface == surface) pending_ = Request{};
}

void MoviePlayer::Pump() {
    const MovieBudget::Step step(*budget_, MovieBudget::StepKind::Later);
    if (Pending() && state_ == State::Running && TakeDue(Time(), false)) {
        const Request request = pending_;
        pending_ = Request{};
        Render(request);
        if (request.event != nullptr) SetEvent(request.event);
    }
    if (sound_) sound_->Fill();
}

void MoviePlayer::SetVolume(LONG volume) {
    volume_ = volume;
    if (sound_) sound_->SetVolume(volume);
}

void MoviePlayer::Render(const Request& request) const {
    D_DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (FAILED(request.surface->Lock(nullptr, &desc, D_DDLOCK_WAIT | D_DDLOCK_WRITEONLY, nullptr))) return;
    RECT area = request.wholeSurface ? RECT{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)}
                                     : request.rect;
    // The frame is put at the area's corner and cut to it and to the surface.
    if (area.left < 0) area.left = 0;
    if (area.top < 0) area.top = 0;
    if (area.right > static_cast<LONG>(desc.dwWidth)) area.right = static_cast<LONG>(desc.dwWidth);
    if (area.bottom > static_cast<LONG>(desc.dwHeight)) area.bottom = static_cast<LONG>(desc.dwHeight);
    const int columns = std::min<int>(width_, area.right - area.left);
    const int rows = std::min<int>(height_, area.bottom - area.top);
    const D_DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const int bytes = static_cast<int>(format.dwRGBBitCount + 7) / 8;
    if ((format.dwFlags & D_DDPF_RGB) == 0 || bytes < 2 || bytes > 4 || current_.bgra.empty()) {
        request.surface->Unlock(nullptr);
        return;
    }
    const ChannelTable red(format.dwRBitMask), green(format.dwGBitMask), blue(format.dwBBitMask);
    const DWORD alpha = (format.dwFlags & D_DDPF_ALPHAPIXELS) ? format.dwRGBAlphaBitMask : 0;
    std::uint8_t* to = static_cast<std::uint8_t*>(desc.lpSurface) + static_cast<std::ptrdiff_t>(area.top) * desc.lPitch +
                       static_cast<std::ptrdiff_t>(area.left) * bytes;
    const std::size_t fromPitch = static_cast<std::size_t>(width_) * 4;
    switch (bytes) {
        case 2: WriteRows<2>(current_.bgra.data(), fromPitch, to, desc.lPitch, columns, rows, red, green, blue, alpha); break;
        case 3: WriteRows<3>(current_.bgra.data(), fromPitch, to, desc.lPitch, columns, rows, red, green, blue, alpha); break;
        default: WriteRows<4>(current_.bgra.data(), fromPitch, to, desc.lPitch, columns, rows, red, green, blue, alpha); break;
    }
    request.surface->Unlock(nullptr);
}
