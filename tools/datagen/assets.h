// What the stand-in set holds: the file of every image the game loads with
// its piece grid, and every sound.
#pragma once

#include <array>
#include <string_view>

// The monster sheet files with the kind whose look each one carries. Files
// loaded for two kinds are listed once, drawn as the first kind.
struct MonsterSheetFile {
    std::string_view file;
    int kind;
};

inline constexpr MonsterSheetFile kMonsterSheets[] = {
    {"algall", 0},      {"encall", 1},     {"ougonall", 2},    {"lunabigall", 5},   {"hidoraall", 6},
    {"penomenaall", 7}, {"mandoraall", 8}, {"mandora2all", 9}, {"doroall", 10},     {"polinall", 11},
    {"fablall", 12},    {"flogall", 13},   {"lunaall", 14},    {"hebiall", 15},     {"sporeall", 16},
    {"popolinall", 17}, {"wilall", 18},    {"gokiall", 19},    {"hebi2all", 20},    {"marlinall", 21},
    {"taraflogall", 22}, {"spore2all", 23}, {"lunadall", 24},  {"gokibigall", 25},  {"hebi3all", 26},
    {"eldwilall", 27},  {"tyonnall", 28},  {"tyonn2all", 29},  {"tyonn3all", 30},
};

// The defeat pictures in gallery order.
inline constexpr std::string_view kDefeatPictures[32] = {
    "algruk",     "encruk",      "fablruk",    "flogruk",    "gokiruk",    "gokibigruk",  "hidoraruk",  "mandoraruk",
    "marlinruk",  "penomenaruk", "polinruk",   "popolinruk", "taraflogruk", "sporeruk",   "spore2ruk",  "hebiruk",
    "hebi2ruk",   "hebi3ruk",    "mandora2ruk", "ougonruk",  "bigpolinruk", "bigflogruk", "dororuk",    "wilruk",
    "lunaruk",    "eldwilruk",   "lunadruk",   "lunabigruk", "tyonnruk",   "tyonn2ruk",   "tyonn3ruk",  "tyonnbruk",
};

inline constexpr std::string_view kSoundEffects[9] = {"die", "item", "senntaku", "select", "th",
                                                      "th2", "bomb", "cancel",   "takara"};
inline constexpr int kMusicTracks = 6;
