#include "screens/equipment_panel.h"

#include <kelvo/api.h>

#include "rules/worn_equipment.h"
#include "screens/sub_screen_drawing.h"

namespace {

constexpr int kSlotCount = 4;

const char* const kSlotLabels[kSlotCount] = {"weapon", " armor", " shield", "accessory"};
constexpr int kSlotLabelX[kSlotCount] = {24, 24, 24, 0};
const char* const kFigureLabels[kSlotCount] = {"ATK", "DEF", "MATK", "CRT"};

std::int32_t Figure(const DisplayFigures& figures, int k) {
    switch (k) {
        case 0: return figures.atk;
        case 1: return figures.def;
        case 2: return figures.matk;
        default: return figures.crt;
    }
}

ColorCode PreviewColour(std::int32_t current, std::int32_t preview) {
    if (preview > current) return ApiMakeColorCode(100, 255, 100);
    if (preview < current) return ApiMakeColorCode(230, 30, 30);
    return ApiMakeColorCode(255, 255, 255);
}

}  // namespace

void DrawEquipmentPanel(const DisplayFigures& current, const DisplayFigures* preview) {
    const ColorCode white = ApiMakeColorCode(255, 255, 255);
    ApiPaintBox(0, 345, 640, 480, ApiMakeColorCode(0, 77, 0), 1);
    ApiDrawTextFormatted(50, 350, white, "equipment");
    for (int k = 0; k < kSlotCount; ++k) ApiDrawTextFormatted(kSlotLabelX[k], 373 + 25 * k, white, "%s", kSlotLabels[k]);

    const ColorCode itemFrame = ApiMakeColorCode(170, 210, 170);
    const ColorCode itemShadow = ApiMakeColorCode(0, 7, 0);
    const ColorCode itemFill = ApiMakeColorCode(0, 30, 0);
    const ColorCode figureFrame = ApiMakeColorCode(210, 170, 170);
    const ColorCode figureShadow = ApiMakeColorCode(7, 0, 0);
    const ColorCode figureFill = ApiMakeColorCode(10, 0, 0);
    for (int k = 0; k < kSlotCount; ++k) {
        DrawBevelBox(85, 371 + 25 * k, 250, 393 + 25 * k, itemFrame, itemShadow, itemFill);
        DrawBevelBox(258, 371 + 25 * k, 480, 393 + 25 * k, itemFrame, itemShadow, itemFill);
        DrawBevelBox(489, 350 + 32 * k, 635, 377 + 32 * k, figureFrame, figureShadow, figureFill);
    }
    for (int k = 0; k < kSlotCount; ++k) {
        // A worn row outside its table (only a bug can make one) shows as an
        // empty slot.
        const EquipmentRecord* item = WornItem(k);
        if (item == nullptr) continue;
        ApiDrawTextFormatted(90, 375 + 25 * k, white, "%s", item->name);
        ApiDrawTextFormatted(264, 375 + 25 * k, white, "%s", item->description);
    }

    for (int k = 0; k < kSlotCount; ++k) {
        const int y = 357 + 32 * k;
        const std::int32_t value = Figure(current, k);
        ApiDrawTextFormatted(495, y, white, "%s", kFigureLabels[k]);
        ApiDrawTextFormatted(535, y, white, "%d", value);
        ApiDrawTextFormatted(575, y, white, "→");
        if (preview == nullptr) continue;
        const std::int32_t next = Figure(*preview, k);
        ApiDrawTextFormatted(595, y, PreviewColour(value, next), "%d", next);
    }
}
