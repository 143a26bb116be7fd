#include "dshow/movie_budget.h"

#include <time.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

#include "platform/kernel.h"

namespace {

std::int64_t ThreadNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

// What a picture's buffer keeps counted until the last reference to it goes.
struct MovieBudget::Hold {
    std::shared_ptr<MovieBudget> budget;
    AVBufferRef* buffer;  // the decoder's own
    std::int64_t bytes;
};

MovieBudget::Step::Step(MovieBudget& budget, StepKind kind) : budget_(budget), outer_(budget.depth_++ == 0) {
    if (!outer_) return;
    budget_.stepStart_ = ThreadNanoseconds();
    budget_.stepKind_ = kind;
}

MovieBudget::Step::~Step() {
    if (--budget_.depth_ == 0) budget_.spentBefore_ += budget_.StepElapsed();
}

std::int64_t MovieBudget::StepElapsed() const { return ThreadNanoseconds() - stepStart_; }

std::int64_t MovieBudget::PictureShare() const {
    return limits_.nanosecondsPerPicture + limits_.nanosecondsPerPixel * framePixels_ * (1 + heldBack_);
}

std::int64_t MovieBudget::StepLimit() const {
    return (stepKind_ == StepKind::Open ? limits_.openNanoseconds : limits_.stepNanoseconds) + PictureShare();
}

bool MovieBudget::StepHasRoom() const { return !spent_ && (depth_ == 0 || StepElapsed() < StepLimit() / 2); }

bool MovieBudget::Allows() {
    if (spent_) return false;
    if (depth_ == 0) return true;
    const std::int64_t elapsed = StepElapsed();
    // A step may take its own time; the whole movie, the open's and a share
    // for each picture made (and for the one being made).
    const bool stepOver = elapsed > StepLimit();
    if (stepOver || spentBefore_ + elapsed > limits_.openNanoseconds + (pictures_ + 1) * PictureShare()) {
        spent_ = true;
        Note(stepOver ? " took more processor time than a step of a movie may; it ends here"
                      : " took more processor time than its pictures may; it ends here");
        return false;
    }
    return true;
}

int MovieBudget::Interrupted(void* budget) { return static_cast<MovieBudget*>(budget)->Allows() ? 0 : 1; }

void MovieBudget::Attach(AVCodecContext* decoder) {
    decoder->opaque = this;
    decoder->get_buffer2 = GetBuffer;
}

bool MovieBudget::Reserve(std::int64_t bytes, std::int64_t pictures) {
    if (!spent_ && bytes * pictures <= limits_.pictureBytes && held_.load() + bytes <= limits_.pictureBytes) {
        held_ += bytes;
        return true;
    }
    if (!refusedBytes_) {
        refusedBytes_ = true;
        Note(": pictures of " + std::to_string(bytes) + " bytes, " + std::to_string(pictures) +
             " held at once, are beyond the bytes a movie's pictures may take (" + std::to_string(limits_.pictureBytes) +
             "); it ends here");
    }
    spent_ = true;
    return false;
}

int MovieBudget::GetBuffer(AVCodecContext* decoder, AVFrame* frame, int flags) {
    auto* budget = static_cast<MovieBudget*>(decoder->opaque);
    std::int64_t bytes = 0, pictures = 1;
    if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
        bytes = av_image_get_buffer_size(static_cast<AVPixelFormat>(frame->format), frame->width, frame->height, 1);
        // A decoder holds the pictures it refers to, the one it decodes and
        // those it keeps back to hand them out in order; the first picture
        // of a size answers for all of them before any is made.
        pictures = std::max(decoder->refs, 1) + 1 + std::max(decoder->has_b_frames, 0);
        // Pictures within the limits of a frame's size earn their steps time:
        // a picture handed out may need those held back decoded first.
        budget->framePixels_ = std::max(budget->framePixels_, std::int64_t{frame->width} * frame->height);
        budget->heldBack_ = std::clamp(decoder->has_b_frames, budget->heldBack_, 16);
    } else {
        bytes = av_samples_get_buffer_size(nullptr, frame->ch_layout.nb_channels, frame->nb_samples,
                                           static_cast<AVSampleFormat>(frame->format), 1);
    }
    if (bytes < 0 || !budget->Reserve(bytes, pictures)) return AVERROR(ENOMEM);
    const int made = avcodec_default_get_buffer2(decoder, frame, flags);
    Hold* hold = made < 0 ? nullptr : new Hold{budget->shared_from_this(), frame->buf[0], bytes};
    AVBufferRef* counted =
        hold == nullptr ? nullptr : av_buffer_create(hold->buffer->data, hold->buffer->size, ReleaseHold, hold, 0);
    if (counted == nullptr) {
        budget->held_ -= bytes;
        delete hold;
        av_frame_unref(frame);
        return made < 0 ? made : AVERROR(ENOMEM);
    }
    frame->buf[0] = counted;
    return 0;
}

void MovieBudget::ReleaseHold(void* opaque, std::uint8_t*) {
    auto* hold = static_cast<Hold*>(opaque);
    hold->budget->held_ -= hold->bytes;
    av_buffer_unref(&hold->buffer);
    delete hold;
}

void MovieBudget::Note(const std::string& what) { OutputDebugStringA(("movie: " + path_ + what + "\n").c_str()); }
