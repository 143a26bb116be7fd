#include "dshow/movie_file_input.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "dshow/movie_budget.h"
#include "platform/files.h"

namespace {

constexpr int kBufferBytes = 1 << 16;

// A demuxer may name other files (playlists, references, image sequences):
// none is opened.
int RefuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

}  // namespace

MovieFileInput::~MovieFileInput() {
    FreeReader();
    if (fd_ >= 0) ::close(fd_);
}

bool MovieFileInput::Open(const std::string& path, MovieBudget* budget) {
    budget_ = budget;
    fd_ = OpenPlainFileForReading(path.c_str());
    return fd_ >= 0;
}

std::int64_t MovieFileInput::Size() const {
    struct stat info {};
    return ::fstat(fd_, &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
}

bool MovieFileInput::AttachTo(AVFormatContext* format) {
    // Each demuxer reads through a reader of its own, from the first byte.
    FreeReader();
    if (::lseek(fd_, 0, SEEK_SET) != 0) return false;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    io_ = buffer == nullptr ? nullptr : avio_alloc_context(buffer, kBufferBytes, 0, this, Read, nullptr, Seek);
    if (io_ == nullptr) {
        av_free(buffer);
        return false;
    }
    format->pb = io_;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = RefuseOtherFiles;
    return true;
}

void MovieFileInput::FreeReader() {
    if (io_ != nullptr) av_freep(&io_->buffer);
    avio_context_free(&io_);
}

int MovieFileInput::Read(void* opaque, std::uint8_t* bytes, int size) {
    auto* input = static_cast<MovieFileInput*>(opaque);
    if (input->budget_ != nullptr && !input->budget_->Allows()) return AVERROR_EXIT;
    for (;;) {
        const ssize_t read = ::read(input->fd_, bytes, static_cast<std::size_t>(size));
        if (read > 0) return static_cast<int>(read);
        if (read == 0) return AVERROR_EOF;
        // A read that would wait fails (the descriptor never waits).
        if (errno != EINTR) return AVERROR(EIO);
    }
}

std::int64_t MovieFileInput::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* input = static_cast<MovieFileInput*>(opaque);
    if (whence & AVSEEK_SIZE) return input->Size();
    const off_t at = ::lseek(input->fd_, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
}
