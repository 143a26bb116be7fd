#include "dshow/media_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "dshow/movie_file_input.h"
#include "dshow/quicktime_index.h"
#include "platform/kernel.h"

namespace {

constexpr AVRational kStreamTimeBase{1, 10000000};
// Larger frames are taken for damage: no surface could hold them.
constexpr int kMaxFrameSide = 4096;

void QuietLibrary() {
    static std::once_flag once;
    // Files that are no movie are expected; the library's complaints would
    // only clutter standard error.
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// The containers a movie is played from: AVI (what the movie maker
// writes), MPEG-1 and MPEG-2 programme streams and bare MPEG video, Windows
// Media (ASF), and the self-contained files of today: MP4 and QuickTime
// (with 3GP and M4V, the same demuxer), Matroska and WebM, and Ogg. Only
// these demuxers may even open a file, so a playlist (HLS, DASH, concat), an
// image sequence or a text file is refused before any of it is followed or
// read as a picture.
constexpr const char* kMovieFormats = "avi,mpeg,mpegvideo,asf,mov,matroska,ogg";
// The demuxer of QuickTime, MP4 and their kin, by the name it reports.
constexpr const char* kQuickTimeFormat = "mov,mp4,m4a,3gp,3g2,mj2";

// The first picture of a movie codes every part of its frame: even flat,
// MPEG video spends some 30 bits on each 16 x 16 block and motion JPEG 12,
// under 200 pixels a byte. A frame size claimed beyond this many pixels a
// byte of the whole file is damage (every frame would be decoded and drawn
// at that size from next to nothing); small frames are never refused for it.
constexpr std::int64_t kMaxPixelsPerByte = 256;
constexpr std::int64_t kAlwaysAllowedPixels = std::int64_t{1} << 20;

// The most pixels a frame of a file of this many bytes may have.
std::int64_t MaxFramePixels(std::int64_t fileBytes) {
    const std::int64_t byBytes = fileBytes < (std::int64_t{1} << 40) ? (fileBytes + 1) * kMaxPixelsPerByte - 1 : INT64_MAX;
    return std::min(std::int64_t{kMaxFrameSide} * kMaxFrameSide, std::max(kAlwaysAllowedPixels, byBytes));
}

// The decoders the probe may open: those of sound only.
const std::string& SoundDecoderNames() {
    static const std::string names = [] {
        std::string out;
        void* at = nullptr;
        for (const AVCodec* codec = av_codec_iterate(&at); codec != nullptr; codec = av_codec_iterate(&at))
            if (av_codec_is_decoder(codec) && codec->type == AVMEDIA_TYPE_AUDIO)
                out += (out.empty() ? "" : ",") + std::string(codec->name);
        return out;
    }();
    return names;
}

// A line on the debug output about the movie file at `path`.
void Note(const std::string& path, const std::string& what) {
    OutputDebugStringA(("movie: " + path + what + "\n").c_str());
}

bool RealTime(std::int64_t time) { return time >= -kMaxStreamTime && time <= kMaxStreamTime; }

// Ticks of a time base in 100 ns, false when the result is no real time
// (the library's rescaling saturates rather than overflow).
bool ToStreamTime(std::int64_t ticks, AVRational base, LONGLONG* time) {
    if (base.num <= 0 || base.den <= 0) return false;
    *time = av_rescale_q(ticks, base, kStreamTimeBase);
    return RealTime(*time);
}

// Where a stream starts, in 100 ns of the file's own clock; false when the
// file does not say or says what no real stream has.
bool StartOf(const AVStream* stream, LONGLONG* time) {
    return stream->start_time != AV_NOPTS_VALUE && ToStreamTime(stream->start_time, stream->time_base, time);
}

}  // namespace

MediaReader::~MediaReader() { Close(); }

void MediaReader::Close() {
    av_parser_close(parser_);
    parser_ = nullptr;
    avcodec_free_context(&parserContext_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
    input_.reset();
    stream_ = -1;
}

bool MediaReader::Open(const std::string& path, MediaKind kind, std::shared_ptr<MovieBudget> budget) {
    QuietLibrary();
    Close();
    budget_ = std::move(budget);
    input_ = std::make_unique<MovieFileInput>();
    if (!input_->Open(path, budget_.get())) {
        Note(path, " is no plain file");
        return false;
    }
    const std::int64_t fileBytes = input_->Size();
    // A QuickTime or MP4 file is opened first without following its edit
    // lists (the demuxer's handling of a long one is the cost of seconds and
    // gigabytes); its index is then looked at: a movie whose media lies in
    // other files is refused, and its edit lists are followed unless one is
    // longer than real files carry or its edits would have the decoder go
    // through many samples only to drop them. Other containers have none.
    if (!OpenDemuxer(path, true)) return false;
    if (std::strcmp(format_->iformat->name, kQuickTimeFormat) == 0) {
        const QuickTimeIndexFacts facts = ReadQuickTimeIndexFacts(input_->Descriptor());
        if (facts.otherFile) {
            Note(path, " keeps media in other files, which are not opened");
            Close();
            return false;
        }
        if (facts.longEditList) {
            Note(path, " has an edit list of more than " + std::to_string(kMaxEditListEntries) +
                           " edits; its edit lists are not followed");
        } else if (facts.editsFarFromKeyFrames) {
            Note(path, " has edits that would decode more than " + std::to_string(kMaxForcedSamples) +
                           " samples from key frames before them; its edit lists are not followed");
        } else {
            avformat_close_input(&format_);
            if (!OpenDemuxer(path, false)) return false;
        }
    }
    // The probe decodes the sound to learn what the headers leave open, but
    // never a picture: pictures are made only by the reader's own decoder,
    // under the movie's budget (the probe's decoders are the library's, and
    // it gives those of streams it finds as it reads no limits at all). What
    // the probe would have learnt of a picture's size, the first frame tells.
    maxPixels_ = MaxFramePixels(fileBytes);
    path_ = path;
    av_free(format_->codec_whitelist);
    format_->codec_whitelist = av_strdup(SoundDecoderNames().c_str());
    if (format_->codec_whitelist == nullptr || avformat_find_stream_info(format_, nullptr) < 0 || !budget_->Allows()) {
        Close();
        return false;
    }
    const AVMediaType type = kind == MediaKind::Video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, type, -1, -1, &codec, 0);
    if (stream_ < 0 || codec == nullptr) {
        Close();
        return false;
    }
    decoder_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (decoder_ == nullptr || packet_ == nullptr || frame_ == nullptr ||
        avcodec_parameters_to_context(decoder_, format_->streams[stream_]->codecpar) < 0) {
        Close();
        return false;
    }
    // The limits hold for every frame, not only the first: a later header
    // may claim a larger size, and the decoder itself refuses to set up a
    // picture of more pixels than this (at no cost) rather than decode it.
    decoder_->max_pixels = maxPixels_;
    budget_->Attach(decoder_);
    // The size the file's headers claim is only a claim: the decoder learns
    // the size from the stream itself, and a claim beyond the limits is
    // judged only when no picture can be made.
    const int claimedWidth = decoder_->width, claimedHeight = decoder_->height;
    if (kind == MediaKind::Video && !Fits(claimedWidth, claimedHeight))
        decoder_->width = decoder_->height = decoder_->coded_width = decoder_->coded_height = 0;
    if (avcodec_open2(decoder_, codec, nullptr) < 0) {
        Close();
        return false;
    }
    const AVRational rate = format_->streams[stream_]->avg_frame_rate;
    lastStep_ = rate.num > 0 && rate.den > 0 ? av_rescale_q(1, av_inv_q(rate), kStreamTimeBase) : 0;
    if (!RealTime(lastStep_)) lastStep_ = 0;
    PlaceOnMovieClock();
    lastTime_ = startOffset_ - lastStep_;
    if (kind == MediaKind::Audio) return true;
    // The first picture is made at once, under the open's budget, and kept
    // for Next: its size is the movie's. A stream none of whose pictures can
    // be made (beyond the limits or the budget) is refused; one that has
    // none at all plays nothing at the size its headers claim.
    OpenParser();
    if (const AVFrame* first = Next(); first != nullptr) {
        peeked_ = true;
        width_ = first->width;
        height_ = first->height;
        return true;
    }
    width_ = claimedWidth;
    height_ = claimedHeight;
    const bool claimed = claimedWidth > 0 && claimedHeight > 0;
    if (!claimed) Note(path, " has no picture that could be made");
    if (claimed && ClaimAllowed(claimedWidth, claimedHeight, fileBytes) && !budget_->Spent() && !refusedSize_)
        return true;
    Close();
    return false;
}

bool MediaReader::OpenDemuxer(const std::string& path, bool ignoreEditLists) {
    // The whitelists go on the context before the open: a file the probe
    // takes for anything else is refused before that demuxer reads it, and
    // nothing it names is opened.
    format_ = avformat_alloc_context();
    if (format_ == nullptr) return false;
    // The budget's time runs out in the demuxer too: it asks between reads.
    format_->interrupt_callback = AVIOInterruptCB{MovieBudget::Interrupted, budget_.get()};
    if (!input_->AttachTo(format_)) {
        avformat_free_context(format_);
        format_ = nullptr;
        return false;
    }
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kMovieFormats, 0);
    // A QuickTime file may name other files for its media; none is followed.
    av_dict_set(&options, "enable_drefs", "0", 0);
    if (ignoreEditLists) av_dict_set(&options, "ignore_editlist", "1", 0);
    // "file:" before the name: whatever the name looks like, it is a file.
    const std::string url = "file:" + path;
    const int opened = avformat_open_input(&format_, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        Note(path, " is no movie of a kind played here");
        return false;  // the library has freed the context
    }
    return true;
}

void MediaReader::PlaceOnMovieClock() {
    const AVStream* own = format_->streams[stream_];
    LONGLONG ownStart = 0;
    const bool ownKnown = StartOf(own, &ownStart);
    // A stream whose start is not known (or is no real time) starts with
    // the movie, at its first timed frame.
    startKnown_ = ownKnown;
    streamStart_ = ownKnown ? own->start_time : 0;
    // The movie's clock starts with the earliest of its picture and its
    // sound, the streams a movie plays (both readers of a file find the
    // same ones).
    LONGLONG origin = ownStart;
    bool originKnown = ownKnown;
    for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
        const AVCodec* codec = nullptr;  // chosen as Open chooses its stream
        const int index = av_find_best_stream(format_, type, -1, -1, &codec, 0);
        LONGLONG start = 0;
        if (index < 0 || !StartOf(format_->streams[index], &start)) continue;
        if (!originKnown || start < origin) origin = start;
        originKnown = true;
    }
    startOffset_ = ownKnown ? ownStart - origin : 0;
}

void MediaReader::OpenParser() {
    av_parser_close(parser_);
    parser_ = av_parser_init(decoder_->codec_id);
    if (parser_ == nullptr) return;
    // The demuxer hands out whole frames.
    parser_->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    if (parserContext_ == nullptr) {
        parserContext_ = avcodec_alloc_context3(nullptr);
        if (parserContext_ == nullptr ||
            avcodec_parameters_to_context(parserContext_, format_->streams[stream_]->codecpar) < 0) {
            av_parser_close(parser_);
            parser_ = nullptr;
        }
    }
}

bool MediaReader::PacketWithinLimits(const AVPacket* packet) {
    if (parser_ == nullptr || packet->size <= 0) return true;
    std::uint8_t* out = nullptr;
    int outSize = 0;
    av_parser_parse2(parser_, parserContext_, &out, &outSize, packet->data, packet->size, AV_NOPTS_VALUE,
                     AV_NOPTS_VALUE, 0);
    const int width = parser_->width, height = parser_->height;
    // 0: the parser has not seen a size (yet); the decoder's own limit holds.
    if (width <= 0 || height <= 0 || Fits(width, height)) return true;
    NoteRefusedSize("a frame of " + std::to_string(width) + " x " + std::to_string(height));
    return false;
}

bool MediaReader::Fits(int width, int height) const {
    return width > 0 && height > 0 && width <= kMaxFrameSide && height <= kMaxFrameSide &&
           std::int64_t{width} * height <= maxPixels_;
}

bool MediaReader::ClaimAllowed(int width, int height, std::int64_t fileBytes) const {
    if (Fits(width, height)) return true;
    Note(path_, " claims frames of " + std::to_string(width) + " x " + std::to_string(height) + " in " +
                    std::to_string(fileBytes) + " bytes");
    return false;
}

bool MediaReader::WithinLimits(const AVFrame* frame) {
    if (decoder_->codec_type != AVMEDIA_TYPE_VIDEO || Fits(frame->width, frame->height)) return true;
    NoteRefusedSize("a frame of " + std::to_string(frame->width) + " x " + std::to_string(frame->height));
    return false;
}

void MediaReader::NoteRefusedSize(const std::string& frame) {
    if (refusedSize_) return;
    refusedSize_ = true;
    Note(path_, ": " + frame + " is beyond the size limits (4096 a side, " + std::to_string(maxPixels_) +
                    " pixels); such frames are skipped");
}

AVFrame* MediaReader::Next() {
    if (peeked_) {
        peeked_ = false;
        return frame_;
    }
    if (decoder_ == nullptr || ended_) return nullptr;
    for (;;) {
        const int received = avcodec_receive_frame(decoder_, frame_);
        if (received == 0) {
            if (!WithinLimits(frame_)) continue;
            LONGLONG time = 0;
            if (!TimeOf(frame_, &time)) {
                if (!droppedTimes_) {
                    Note(path_, ": frames timed beyond any real stream are dropped");
                }
                droppedTimes_ = true;
                continue;
            }
            lastTime_ = time;
            if (decoder_->codec_type == AVMEDIA_TYPE_VIDEO) budget_->PictureMade();
            return frame_;
        }
        if (received != AVERROR(EAGAIN) || draining_) {
            ended_ = true;
            return nullptr;
        }
        // The decoder wants more: the next packet of this stream, or the
        // end of the file, which drains what the decoder still holds.
        bool sent = false;
        while (!sent) {
            if (!budget_->Allows()) {
                ended_ = true;
                return nullptr;
            }
            if (av_read_frame(format_, packet_) < 0) {
                draining_ = true;
                avcodec_send_packet(decoder_, nullptr);
                sent = true;
            } else {
                if (packet_->stream_index == stream_ && PacketWithinLimits(packet_)) {
                    const int result = avcodec_send_packet(decoder_, packet_);
                    // A damaged packet is skipped; the decoder goes on. A
                    // video decoder that refused a picture's size over the
                    // limit is left without one.
                    sent = result == 0 || result == AVERROR(EAGAIN);
                    if (!sent && decoder_->codec_type == AVMEDIA_TYPE_VIDEO &&
                        (decoder_->width == 0 || decoder_->height == 0))
                        NoteRefusedSize("a frame whose size the decoder refused");
                }
                av_packet_unref(packet_);
            }
        }
    }
}

bool MediaReader::TimeOf(const AVFrame* frame, LONGLONG* time) {
    const std::int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        *time = lastTime_ + lastStep_;
        return RealTime(*time);
    }
    if (!startKnown_) {
        streamStart_ = pts;
        startKnown_ = true;
    }
    std::int64_t fromStart = 0;
    return !__builtin_sub_overflow(pts, streamStart_, &fromStart) &&
           ToStreamTime(fromStart, format_->streams[stream_]->time_base, time) &&
           RealTime(*time += startOffset_);
}

bool MediaReader::Seek(LONGLONG time) {
    if (decoder_ == nullptr || !RealTime(time) || !budget_->Allows()) return false;
    const AVStream* stream = format_->streams[stream_];
    std::int64_t target = 0;
    if (__builtin_add_overflow(av_rescale_q(time - startOffset_, kStreamTimeBase, stream->time_base), streamStart_,
                               &target))
        return false;
    if (av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format_, stream_, target, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
        return false;
    avcodec_flush_buffers(decoder_);
    peeked_ = false;
    // The parser starts afresh too: what it read last is of another place.
    if (parser_ != nullptr) OpenParser();
    draining_ = false;
    ended_ = false;
    lastTime_ = startOffset_ - lastStep_;
    return true;
}

LONGLONG MediaReader::Duration() const {
    if (format_ == nullptr) return 0;
    const AVStream* stream = format_->streams[stream_];
    LONGLONG length = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 &&
        ToStreamTime(stream->duration, stream->time_base, &length))
        return startOffset_ + length;
    // The whole file's length runs from its earliest stream's start.
    if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0 &&
        ToStreamTime(format_->duration, AVRational{1, AV_TIME_BASE}, &length))
        return length;
    return 0;
}
