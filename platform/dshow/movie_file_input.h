// A movie file as the library's demuxers read it: through the descriptor
// the file layer opened, with its checks (a plain file of stored bytes, an
// open and reads that never wait), and under the movie's budget. Nothing
// else is opened: a demuxer asking for another file is refused.
#pragma once

#include <cstdint>
#include <string>

struct AVFormatContext;
struct AVIOContext;
class MovieBudget;

class MovieFileInput {
public:
    MovieFileInput() = default;
    ~MovieFileInput();
    MovieFileInput(const MovieFileInput&) = delete;
    MovieFileInput& operator=(const MovieFileInput&) = delete;

    // Opens the file (a native path); false when the file layer refuses it.
    bool Open(const std::string& path, MovieBudget* budget);
    int Descriptor() const { return fd_; }
    // The file's size in bytes.
    std::int64_t Size() const;
    // Gives a new demuxer context the file from its first byte, through a
    // reader of its own that stays this input's (the context is closed
    // before the next is attached, or this input goes); false when no
    // reader could be made.
    bool AttachTo(AVFormatContext* format);

private:
    void FreeReader();
    static int Read(void* input, std::uint8_t* bytes, int size);
    static std::int64_t Seek(void* input, std::int64_t offset, int whence);

    int fd_ = -1;
    MovieBudget* budget_ = nullptr;
    AVIOContext* io_ = nullptr;
};
