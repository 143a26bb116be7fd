// Writes the stand-in data set, every file the game reads, into a folder:
//   datagen <folder>
// The output is the same, byte for byte, on every run.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "art.h"
#include "assets.h"
#include "png_writer.h"
#include "sound.h"
#include "stage_images.h"

namespace fs = std::filesystem;

namespace {

bool g_failed = false;

// Writes only when the bytes differ, so a rebuild does not touch files the
// game or a packer already holds.
void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (fs::exists(path) && fs::file_size(path) == bytes.size()) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> old(bytes.size());
        in.read(reinterpret_cast<char*>(old.data()), static_cast<std::streamsize>(old.size()));
        if (in && old == bytes) return;
    }
    fs::path temp = path;
    temp += ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "datagen: cannot write %s\n", temp.c_str());
            g_failed = true;
            return;
        }
    }
    fs::rename(temp, path, ec);
    if (ec) {
        std::fprintf(stderr, "datagen: cannot rename %s: %s\n", temp.c_str(), ec.message().c_str());
        g_failed = true;
    }
}

void Bmp(const fs::path& root, const std::string& relative, const Image& image) {
    WriteFile(root / relative, image.EncodeBmp());
}

void WriteStartupImages(const fs::path& root) {
    const fs::path ruk = "rukbmp";
    Bmp(root, "rukbmp/rukall.bmp", MakeHeroSheet());
    Bmp(root, "rukbmp/suball.bmp", MakeShopDoors());
    Bmp(root, "rukbmp/serifu.bmp", MakeShopCaptions());
    Bmp(root, "rukbmp/fire.bmp", MakeFire());
    Bmp(root, "rukbmp/gass.bmp", MakeGas());
    for (const auto& sheet : kMonsterSheets)
        Bmp(root, "rukbmp/" + std::string(sheet.file) + ".bmp", MakeMonsterSheet(sheet.kind));
    Bmp(root, "rukbmp/juujiall.bmp", MakeCrossEffect());
    Bmp(root, "rukbmp/ball.bmp", MakeBallEffect());
    Bmp(root, "bmp/water.bmp", MakeWater());
    for (int i = 0; i < 32; ++i)
        Bmp(root, "rukbmp/" + std::string(kDefeatPictures[i]) + ".bmp",
            MakeDefeatPicture(i, std::string(kDefeatPictures[i])));
    Bmp(root, "rukbmp/rukmon.bmp", MakeThumbnails());
    Bmp(root, "rukbmp/alffonts.bmp", MakeGlyphLetters());
    Bmp(root, "rukbmp/numfonts.bmp", MakeGlyphDigits());
    Bmp(root, "rukbmp/hiru.bmp", MakeSkillCaption("HEAL", Rgb{60, 200, 90}));
    Bmp(root, "rukbmp/bless.bmp", MakeSkillCaption("BLESS", Rgb{80, 130, 240}));
    Bmp(root, "rukbmp/guro.bmp", MakeSkillCaption("GURO", Rgb{150, 80, 150}));
    Bmp(root, "rukbmp/holy.bmp", MakeSkillCaption("HOLY", Rgb{230, 200, 70}));
    Bmp(root, "rukbmp/warp.bmp", MakeWarpDoors());
    Bmp(root, "rukbmp/yajirusi.bmp", MakeCursors(48));
    Bmp(root, "rukbmp/yajirusimini.bmp", MakeCursors(16));
    Bmp(root, "rukbmp/ruktitle.bmp", MakeTitleLogo());
    Bmp(root, "rukbmp/tatiruk.bmp", MakeTitlePortrait());
    Bmp(root, "rukbmp/vact.bmp", MakeLoadingPicture());
    Bmp(root, "bmp/thaik1.bmp", MakeTitleLayer(1));
    Bmp(root, "bmp/thaik2.bmp", MakeTitleLayer(2));
}

void WriteStageImages(const fs::path& root) {
    Bmp(root, "bmp/black.bmp", MakeBlackPanel());
    for (std::string_view name : kFarLayerImages) Bmp(root, "bmp/" + std::string(name) + ".bmp", MakeFarLayer(std::string(name)));
    for (std::string_view name : kPanelImages) Bmp(root, "bmp/" + std::string(name) + ".bmp", MakePanel(std::string(name)));
}

void WriteSounds(const fs::path& root) {
    for (std::string_view name : kSoundEffects)
        WriteFile(root / "se" / (std::string(name) + ".wav"), EncodeWav(MakeEffect(std::string(name))));
    for (int t = 1; t <= kMusicTracks; ++t)
        WriteFile(root / "se" / ("t" + std::to_string(t) + ".wav"), EncodeWav(MakeMusic(t)));
}

// The save folder as the game ships it: default buttons, no picture open,
// four empty slots. Existing saves are a player's: never overwritten.
void WriteSaveFolder(const fs::path& root) {
    auto shipIfMissing = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        fs::path path = root / "savedata" / name;
        if (!fs::exists(path)) WriteFile(path, bytes);
    };
    shipIfMissing("config.dat", {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
    shipIfMissing("sys.dat", std::vector<std::uint8_t>(32, 0));
    for (int slot = 1; slot <= 4; ++slot) shipIfMissing("start" + std::to_string(slot) + ".dat", {'n', 0, 0, 0, 0});
}

// A contact sheet of the sprite sheets, glyphs and a few stage views, for a
// person to look at. Transparent pixels show as grey.
Image MakeContactSheet() {
    Image sheet(1600, 1500, Rgb{96, 96, 104});
    auto place = [&](const Image& img, int x, int y, int shrink) {
        for (int j = 0; j < img.height() / shrink; ++j)
            for (int i = 0; i < img.width() / shrink; ++i) {
                Rgb c = img.At(i * shrink, j * shrink);
                if (c.r || c.g || c.b) sheet.Put(x + i, y + j, c);
            }
    };
    place(MakeHeroSheet(), 0, 0, 2);
    place(MakeMonsterSheet(0), 780, 0, 2);
    place(MakeMonsterSheet(13), 780, 200, 2);
    place(MakeMonsterSheet(28), 780, 400, 2);
    place(MakeGlyphLetters(), 0, 780, 1);
    place(MakeGlyphDigits(), 430, 780, 1);
    place(MakeWarpDoors(), 780, 600, 1);
    place(MakeShopDoors(), 1180, 600, 1);
    place(MakeThumbnails(), 1300, 0, 1);
    for (int v = 0; v < 3; ++v) {
        static const char* kFar[3] = {"sora", "yuuhi001", "hai03"};
        static const char* kPanel[3] = {"heigenn001", "hd013", "hs008"};
        Image view = MakeFarLayer(kFar[v]);
        view.Paste(MakePanel(kPanel[v]), 0, 0);
        place(view, v * 330, 1100, 2);
    }
    place(MakeTitleLogo(), 1000, 1100, 1);
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--contact") {
        WriteFile(argv[2], EncodePng(MakeContactSheet()));
        return g_failed ? 1 : 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: datagen <folder> | datagen --contact <file.png>\n");
        return 2;
    }
    fs::path root = argv[1];
    WriteStartupImages(root);
    WriteStageImages(root);
    WriteSounds(root);
    WriteSaveFolder(root);
    return g_failed ? 1 : 0;
}
