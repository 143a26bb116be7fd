// One stream of a media file read through FFmpeg: the demuxer, the stream's
// decoder, and decoded frames handed out in order with their times.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dshow/movie_budget.h"
#include "dshow/movie_file_input.h"
#include "platform/types.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct AVCodecParserContext;


enum class MediaKind { Video, Audio };

// The furthest a frame of a real stream lies from the movie's start, in
// 100 ns (a year); a frame timed beyond it is damage, and every sum of two
// such times, or of one and a clock's reading, fits in 64 bits.
inline constexpr LONGLONG kMaxStreamTime = 10000000LL * 60 * 60 * 24 * 366;

class MediaReader {
public:
    MediaReader() = default;
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    // Opens the file (a native path) and the best stream of the kind, at the
    // cost of the movie's budget. False when the file cannot be read, has no
    // such stream that decodes, or costs more than the budget holds.
    bool Open(const std::string& path, MediaKind kind, std::shared_ptr<MovieBudget> budget);
    bool IsOpen() const { return decoder_ != nullptr; }

    // The next decoded frame, owned by the reader until the next call; null
    // at the end of the stream, on an error that ends it, or when the
    // budget is spent. A frame timed beyond kMaxStreamTime is dropped.
    AVFrame* Next();
    // The time of the frame Next handed out last, in 100 ns of the movie's
    // clock; a frame without a time follows the previous one.
    LONGLONG FrameTime() const { return lastTime_; }
    // Moves to the last key frame at or before `time` (100 ns of the movie's
    // clock); the frames before `time` still come out of Next. False when
    // the file cannot seek.
    bool Seek(LONGLONG time);

    const AVCodecContext* Decoder() const { return decoder_; }
    // The size of a picture stream: its first picture's, made at the open,
    // or, when it has none, the size its headers claim.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Where the stream starts on the movie's clock (100 ns, never below 0).
    // The movie's clock starts with the earliest of its picture and its
    // sound, so a stream that starts later is played later.
    LONGLONG StartTime() const { return startOffset_; }
    // Where the stream ends on the movie's clock, 0 when unknown.
    LONGLONG Duration() const;

private:
    void Close();
    // Opens the demuxer of a file (format_), true when one takes it.
    bool OpenDemuxer(const std::string& path, bool ignoreEditLists);
    // Within 4096 a side and the pixels a frame of this file may have.
    bool Fits(int width, int height) const;
    // Whether a frame size claimed by the file is within the limits, noted
    // on the debug output when it is not.
    bool ClaimAllowed(int width, int height, std::int64_t fileBytes) const;
    // False, with a note on the debug output the first time, for a decoded
    // picture beyond the limits of a frame's size.
    bool WithinLimits(const AVFrame* frame);
    void NoteRefusedSize(const std::string& frame);
    // A packet of the video stream whose headers, as the codec's parser
    // reads them, set a frame size beyond the limits is never decoded.
    bool PacketWithinLimits(const AVPacket* packet);
    void OpenParser();
    // Sets the stream's start and its place on the movie's clock.
    void PlaceOnMovieClock();
    // The time of a decoded frame on the movie's clock; false for a time no
    // real stream has.
    bool TimeOf(const AVFrame* frame, LONGLONG* time);

    std::shared_ptr<MovieBudget> budget_;
    std::unique_ptr<MovieFileInput> input_;  // what the demuxer reads
    AVFormatContext* format_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVCodecParserContext* parser_ = nullptr;   // video only, when the codec has one
    AVCodecContext* parserContext_ = nullptr;  // what the parser may write into
    int stream_ = -1;
    bool draining_ = false;
    int width_ = 0, height_ = 0;
    bool peeked_ = false;           // frame_ holds the first picture, made at the open
    bool ended_ = false;
    LONGLONG lastTime_ = 0;
    LONGLONG lastStep_ = 0;
    std::int64_t streamStart_ = 0;  // in the stream's own time base
    bool startKnown_ = false;
    LONGLONG startOffset_ = 0;      // the stream's start on the movie's clock
    bool droppedTimes_ = false;     // said once on the debug output
    std::string path_;
    std::int64_t maxPixels_ = 0;   // of a frame: a frame of more is skipped
    bool refusedSize_ = false;     // said once on the debug output
};
