// The save folder "savedata" as the data set ships it: the default buttons,
// no gallery picture open, four empty slots. The generator writes it into a
// new data set; the replay tools start every run from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ShippedSaveFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

inline std::vector<ShippedSaveFile> ShippedSaveFiles() {
    std::vector<ShippedSaveFile> files = {
        {"config.dat", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}},
        {"sys.dat", std::vector<std::uint8_t>(32, 0)},
    };
    for (int slot = 1; slot <= 4; ++slot) files.push_back({"start" + std::to_string(slot) + ".dat", {'n', 0, 0, 0, 0}});
    return files;
}
