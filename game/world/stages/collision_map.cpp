#include "world/stages/collision_map.h"

#include <cstdio>
#include <cstring>

#include "engine/game_log.h"
#include "platform/files.h"

namespace {

constexpr int kTextEnd = 0x1A;  // ends a file read in text mode

// Characters of a file opened binary, as a text-mode read would give them.
class TextModeReader {
public:
    explicit TextModeReader(std::FILE* file) : file_(file) {}

    int Next() {
        if (ended_) return EOF;
        int c = held_ != kNone ? held_ : std::fgetc(file_);
        held_ = kNone;
        if (c == EOF || c == kTextEnd) {
            ended_ = true;
            return EOF;
        }
        if (c == '\r') {
            int after = std::fgetc(file_);
            if (after == '\n') return '\n';
            held_ = after;  // a lone CR stays; what follows is read next
        }
        return c;
    }

private:
    static constexpr int kNone = -2;
    std::FILE* file_;
    int held_ = kNone;
    bool ended_ = false;
};

}  // namespace

int ReadCollisionMapFile(const char* windowsPath, CollisionGrid& grid) {
    // Unread cells must not keep the previous stage's walls: start empty.
    std::memset(grid.cells, kCellEmpty, sizeof grid.cells);

    std::FILE* file = PlatformFOpen(windowsPath, "rb");
    if (file == nullptr) return -1;

    TextModeReader reader(file);
    int filled = 0;
    while (filled < kCollisionCellCount) {
        int c = reader.Next();
        if (c == EOF) break;  // a short map ends here instead of waiting for more
        if (c == '0' || c == '1') grid.cells[filled++] = static_cast<std::uint8_t>(c - '0');
    }
    std::fclose(file);
    return filled;
}

int ReadStageCollisionMap(int stageNumber) {
    char path[32];
    std::snprintf(path, sizeof path, "data\\%d.col", stageNumber);
    int filled = ReadCollisionMapFile(path, g_CollisionGrid);
    if (filled < 0)
        GameLog("collision map %s cannot be opened: the stage has no floors or walls", path);
    else if (filled < kCollisionCellCount)
        GameLog("collision map %s ends after %d of %d cells: the rest are empty", path, filled, kCollisionCellCount);
    return filled;
}
