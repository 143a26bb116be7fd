// Writes the stand-in data set, every file the game reads, into a folder:
//   datagen <folder>
// The output is the same, byte for byte, on every run.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "art.h"
#include "assets.h"
#include "placements.h"
#include "png_writer.h"
#include "shipped_saves.h"
#include "sound.h"
#include "stage_anchors.h"
#include "stage_images.h"
#include "stage_maps.h"
#include "world/stages/stage_placements.h"
#include "world/stages/stage_state.h"
#include "world/stages/stage_table_data.h"

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

void WriteStageMaps(const fs::path& root) {
    for (int stage = 1; stage <= kStageCount; ++stage)
        WriteFile(root / "data" / (std::to_string(stage) + ".col"), EncodeCollisionMap(MakeStageMap(stage)));
}

// The save folder as the game ships it. Existing saves are a player's:
// never overwritten.
void WriteSaveFolder(const fs::path& root) {
    for (const ShippedSaveFile& file : ShippedSaveFiles()) {
        fs::path path = root / "savedata" / file.name;
        if (!fs::exists(path)) WriteFile(path, file.bytes);
    }
}

// A stage's map as text for a person: '#' solid, '.' open, from the left
// wall to the right one, with the anchors marked under it (A arrival, D warp
// door, S shop door) and the monsters over it (M walking or standing, F
// flying).
void PrintStageMap(int stage) {
    CollisionGrid grid = MakeStageMap(stage);
    int first = 56, last = RightExitColumn(stage) + 4;
    std::string monsters(static_cast<std::size_t>(last - first + 1), ' ');
    for (const MonsterPlacement& p : StagePlacements(stage)) {
        int c = p.x / 32 - first;
        if (c >= 0 && c < static_cast<int>(monsters.size())) monsters[c] = p.kind >= 28 ? 'F' : 'M';
    }
    std::string tens, units;
    for (int c = first; c <= last; ++c) {
        tens += c % 10 == 0 ? static_cast<char>('0' + c / 10 % 10) : ' ';
        units += static_cast<char>('0' + c % 10);
    }
    std::printf("stage %d, columns %d to %d\n  %s\n  %s\n  %s\n", stage, first, last, tens.c_str(), units.c_str(),
                monsters.c_str());
    for (int r = 0; r < kCollisionRows; ++r) {
        std::string line;
        for (int c = first; c <= last; ++c) line += grid.cells[r * kCollisionColumns + c] ? '#' : '.';
        std::printf("%2d%s\n", r, line.c_str());
    }
    std::string marks(monsters.size(), ' ');
    for (const StageAnchor& a : StageAnchors(stage)) {
        int c = a.x / 32 - first;
        if (c >= 0 && c < static_cast<int>(marks.size()))
            marks[c] = a.kind == AnchorKind::Arrival ? 'A' : a.kind == AnchorKind::WarpDoor ? 'D' : 'S';
    }
    std::printf("  %s\n", marks.c_str());
}

// A whole stage as the camera can show it, far layer behind the panels,
// with its monsters' starting points (red walking, magenta flying), the
// arrivals (yellow) and the doors (cyan) marked.
Image MakeStageView(int stage) {
    const StageDef& def = kStageTable[stage - 1];
    int left = kCameraLeftBound, width = def.rightBound + kPanelWidth - left;
    Image view(width, 480);
    for (int x0 = -(left % kPanelWidth); x0 < width; x0 += kPanelWidth) {
        int panel = (left + x0) / kPanelWidth;
        view.Paste(MakeFarLayer(def.farLayers[panel % 2]), x0, 0);
        int painted = panel - kFirstPaintedPanel;
        if (painted >= 0 && painted < PaintedPanelCount(def)) view.Paste(MakePanel(def.panels[painted]), x0, 0);
    }
    for (const StageAnchor& a : StageAnchors(stage)) {
        int x = a.x - left, foot = a.floorRow * 32;
        if (a.kind == AnchorKind::Arrival && !a.drops)
            view.FillTriangle(x - 12, foot - 40, x + 12, foot - 40, x, foot - 8, Rgb{250, 230, 40});
        else if (a.kind != AnchorKind::Arrival)
            view.FrameRect(x - 40, foot - 110, 80, 110, Rgb{60, 230, 240}, 6);
    }
    for (const MonsterPlacement& p : StagePlacements(stage))
        view.FillCircle(p.x - left, p.y, 14, p.kind >= 28 ? Rgb{240, 60, 240} : Rgb{240, 40, 40});
    view.Text(8, 40, "STAGE " + std::to_string(stage), Rgb{255, 255, 255}, 8);
    return view;
}

// A contact sheet of the sprite sheets, glyphs, a few panels and three whole
// stages, for a person to look at. Transparent pixels show as grey.
Image MakeContactSheet() {
    Image sheet(1600, 1900, Rgb{96, 96, 104});
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
    int y = 1440;
    for (int stage : {4, 44, 6}) {
        place(MakeStageView(stage), 0, y, 4);
        y += 150;
    }
    return sheet;
}

constexpr const char* kUsage =
    "usage: datagen <folder>                    writes the data set into the folder\n"
    "       datagen --contact <file.png>        a picture of the sprite sheets, glyphs and stages\n"
    "       datagen --view <stage> <file.png>   a whole stage with its monsters and doors\n"
    "       datagen --map <stage>               a stage's map as text\n"
    "       datagen --placements [file.h]       the generated monster placements\n"
    "       datagen --help                      this text\n";

int Usage(std::FILE* to, int code) {
    std::fputs(kUsage, to);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (argc == 2 && first == "--help") return Usage(stdout, 0);
    if (argc == 3 && first == "--contact") {
        WriteFile(argv[2], EncodePng(MakeContactSheet()));
        return g_failed ? 1 : 0;
    }
    if ((argc == 2 || argc == 3) && first == "--placements") {
        std::string header = PlacementsHeader(GeneratePlacements());
        if (argc == 2) {
            std::fputs(header.c_str(), stdout);
            return 0;
        }
        WriteFile(argv[2], std::vector<std::uint8_t>(header.begin(), header.end()));
        return g_failed ? 1 : 0;
    }
    if (argc == 4 && first == "--view") {
        int stage = std::atoi(argv[2]);
        if (stage < 1 || stage > kStageCount) return Usage(stderr, 2);
        WriteFile(argv[3], EncodePng(MakeStageView(stage)));
        return g_failed ? 1 : 0;
    }
    if (argc == 3 && first == "--map") {
        int stage = std::atoi(argv[2]);
        if (stage < 1 || stage > kStageCount) return Usage(stderr, 2);
        PrintStageMap(stage);
        return 0;
    }
    // A folder is never taken for an option: "--help" or a mistyped option
    // would otherwise become a folder full of data.
    if (!first.empty() && first[0] == '-') {
        std::fprintf(stderr, "datagen: unknown option or wrong arguments: %s\n", first.c_str());
        return Usage(stderr, 2);
    }
    if (argc != 2) return Usage(stderr, 2);
    fs::path root = argv[1];
    WriteStartupImages(root);
    WriteStageImages(root);
    WriteSounds(root);
    WriteStageMaps(root);
    WriteSaveFolder(root);
    return g_failed ? 1 : 0;
}
