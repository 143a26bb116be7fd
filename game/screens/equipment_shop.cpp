#include "screens/equipment_shop.h"

#include <kelvo/api.h>

#include "engine/frame_input.h"
#include "engine/frame_pacing.h"
#include "engine/handles.h"
#include "engine/menu_cursor.h"
#include "rules/derived_stats.h"
#include "rules/key_config.h"
#include "rules/player_record.h"
#include "rules/stats.h"
#include "rules/sub_screen.h"
#include "rules/worn_equipment.h"
#include "screens/equipment_panel.h"
#include "screens/shop_offers.h"
#include "screens/sub_screen_drawing.h"

ShopState g_ShopState = {};

namespace {

const char* const kCategoryTitles[kEquipmentCategoryCount] = {"   weapon", "　　armor", "　　shield", "accessory"};

// A fresh sum of 32-bit words, wrapped as the 32-bit game wraps it.
std::int32_t Sum(std::int32_t total, std::int32_t minus, std::int32_t plus) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(total) - static_cast<std::uint32_t>(minus) +
                                     static_cast<std::uint32_t>(plus));
}

// Where an item keeps the DEF it adds: armours and shields in `def`,
// accessories in `atk`; a weapon adds none.
std::int32_t ItemDef(int category, const EquipmentRecord& item) {
    switch (category) {
        case kEquipArmour:
        case kEquipShield: return item.def;
        case kEquipAccessory: return item.atk;
        default: return 0;
    }
}

void UpdateMaxima() {
    PlayerRecord& player = g_PlayerRecord;
    RecomputeMaxHpSp();
    if (player.hp > player.maxHp) player.hp = player.maxHp;
    if (player.sp > player.maxSp) player.sp = player.maxSp;
}

// The preview totals and figures with the selected row worn.
void ComputePreview(const EquipmentRecord& selected) {
    ShopState& shop = g_ShopState;
    DerivedStats& stats = g_DerivedStats;
    static constexpr EquipmentRecord kNothing = {};
    const EquipmentRecord* wornItem = WornItem(shop.category);
    const EquipmentRecord& worn = wornItem != nullptr ? *wornItem : kNothing;
    shop.previewStr = Sum(stats.strTotal, worn.str, selected.str);
    shop.previewInt = Sum(stats.intTotal, worn.intel, selected.intel);
    shop.previewAgi = Sum(stats.agiTotal, worn.agi, selected.agi);
    shop.previewDex = Sum(stats.dexTotal, worn.dex, selected.dex);
    shop.previewLuk = Sum(stats.lukTotal, worn.luk, selected.luk);
    shop.previewEquipmentDef =
        Sum(stats.equipmentDef, ItemDef(shop.category, worn), ItemDef(shop.category, selected));
    const std::int32_t weaponAtk = shop.category == kEquipWeapon ? selected.atk : WornWeaponAtk();
    stats.shopPreview = ComputeDisplayFigures(shop.previewStr, shop.previewDex, shop.previewInt, shop.previewLuk,
                                              shop.previewEquipmentDef, weaponAtk);
}

void DrawOffer(ColorCode white) {
    const ShopState& shop = g_ShopState;
    ApiPaintBox(70, 80, 570, 310, ApiMakeColorCode(0, 0, 128), 1);
    const ColorCode frame = ApiMakeColorCode(170, 170, 210);
    const ColorCode shadow = ApiMakeColorCode(0, 0, 7);
    const ColorCode fill = ApiMakeColorCode(0, 0, 70);
    for (int k = 0; k < kShopItemRows; ++k) {
        const int y1 = 106 + 25 * k, y2 = 128 + 25 * k;
        DrawBevelBox(84, y1, 250, y2, frame, shadow, fill);
        DrawBevelBox(258, y1, 480, y2, frame, shadow, fill);
        DrawBevelBox(488, y1, 565, y2, frame, shadow, fill);
    }
    if (shop.category >= 0 && shop.category < kEquipmentCategoryCount)
        ApiDrawTextFormatted(121, 85, white, "%s", kCategoryTitles[shop.category]);
    for (int k = 0; k < kShopItemRows; ++k) {
        const EquipmentRecord* item = FindEquipment(shop.category, ShopOfferRow(shop.doorIndex, shop.category, k));
        if (item == nullptr) continue;
        const int y = 110 + 25 * k;
        ApiDrawTextFormatted(90, y, white, "%s", item->name);
        ApiDrawTextFormatted(264, y, white, "%s", item->description);
        ApiDrawTextFormatted(494, y, white, "%s%d", PriceBlanks(item->price), item->price);
    }
}

void DrawCursors() {
    const int frame = CursorFrameIndex(g_ShopState.frameCounter);
    ApiBlitGraph(40, 95 + 25 * g_ShopState.cursorRow, g_CursorFrames[frame], 1);
    ApiMirrorBlitGraph(100, 85, g_SmallCursorFrames[frame], 1);
    ApiBlitGraph(210, 85, g_SmallCursorFrames[frame], 1);
}

void Close() {
    g_SubScreenMode = kSubScreenNone;
    ClearPressed();
}

void Cancel() {
    ShopState& shop = g_ShopState;
    switch (shop.step) {
        case kShopBrowsing:
            PlayMenuSound(kSoundCancel);
            shop.cursorRow = kShopExitRow;
            break;
        case kShopShortOfMoney:
            shop.step = kShopBrowsing;
            break;
        case kShopConfirming:
            PlayMenuSound(kSoundCancel);
            shop.answer = 1;
            break;
        default:
            break;
    }
}

void Buy() {
    ShopState& shop = g_ShopState;
    PlayerRecord& player = g_PlayerRecord;
    const std::int32_t cost = ShopCost(shop.category, shop.selectedRow);
    // The confirmation is reached only for a row of the table that the money
    // pays for; should it be reached otherwise, nothing is bought.
    if (FindEquipment(shop.category, shop.selectedRow) == nullptr) {
        PlayMenuSound(kSoundCancel);
        shop.step = kShopBrowsing;
        return;
    }
    if (cost > player.money) {
        PlayMenuSound(kSoundCancel);
        shop.step = kShopShortOfMoney;
        return;
    }
    PlayMenuSound(kSoundConfirm);
    if (cost > 0) player.money -= cost;
    SetWornRow(shop.category, shop.selectedRow);
    shop.step = kShopBrowsing;
}

void Decide() {
    ShopState& shop = g_ShopState;
    switch (shop.step) {
        case kShopBrowsing:
            if (shop.selectedRow != kShopNoItem) {
                if (ShopCost(shop.category, shop.selectedRow) <= g_PlayerRecord.money) {
                    PlayMenuSound(kSoundConfirm);
                    shop.step = kShopConfirming;
                    shop.answer = 0;
                } else {
                    shop.step = kShopShortOfMoney;
                    PlayMenuSound(kSoundCancel);
                }
            } else if (shop.cursorRow == kShopExitRow) {
                Close();
            } else {
                PlayMenuSound(kSoundCancel);
            }
            break;
        case kShopShortOfMoney:
            shop.step = kShopBrowsing;
            break;
        case kShopConfirming:
            if (shop.answer == 0)
                Buy();
            else
                shop.step = kShopBrowsing;
            break;
        default:
            break;
    }
    ClearPressed();
}

void DrawShortOfMoney(ColorCode white) {
    ApiPaintBox(160, 160, 480, 320, ApiMakeColorCode(10, 10, 10), 1);
    ApiDrawTextFormatted(220, 230, white, "Vesk が足りません");
}

void Confirm(ColorCode white) {
    ShopState& shop = g_ShopState;
    if ((g_FrameInputState.newlyPressed & (kPadLeft | kPadRight)) != 0) {
        PlayMenuSound(kSoundSelect);
        shop.answer = shop.answer == 0 ? 1 : 0;
    }
    ApiPaintBox(160, 160, 480, 320, ApiMakeColorCode(10, 10, 10), 1);
    const EquipmentRecord* worn = WornItem(shop.category);
    const EquipmentRecord* selected = FindEquipment(shop.category, shop.selectedRow);
    ApiDrawTextFormatted(180, 180, white, "%sを下取りして", worn != nullptr ? worn->name : "");
    ApiDrawTextFormatted(180, 210, white, "%sを", selected != nullptr ? selected->name : "");
    const std::int32_t cost = ShopCost(shop.category, shop.selectedRow);
    if (cost > 0)
        ApiDrawTextFormatted(180, 240, white, "%d Veskで購入します", cost);
    else
        ApiDrawTextFormatted(180, 240, white, "0 Veskで購入します");
    ApiDrawTextFormatted(240, 280, white, "はい　　　　　　いいえ");
    ApiBlitGraph(184 + 140 * shop.answer, 264, g_CursorFrames[CursorFrameIndex(shop.frameCounter)], 1);
}

void Browse() {
    ShopState& shop = g_ShopState;
    MoveMenuCursor(shop.category, kEquipmentCategoryCount, kPadRight, kPadLeft);
    MoveMenuCursor(shop.cursorRow, kShopCursorRows, kPadDown, kPadUp);
    if ((g_FrameInputState.newlyPressed & kPadMenu) != 0) Close();
}

}  // namespace

void OpenEquipmentShop(int doorIndex) {
    ShopState& shop = g_ShopState;
    shop.cursorRow = 0;
    shop.category = kEquipWeapon;
    shop.doorIndex = static_cast<std::uint8_t>(doorIndex);
    g_SubScreenMode = kSubScreenShop;
    ApiSetDefaultFontSize(16);
    ApiSetDefaultFontThickness(9);
    shop.step = kShopBrowsing;
    ClearPressed();
}

std::int32_t ShopOfferRow(int doorIndex, int category, std::int32_t cursorRow) {
    if (doorIndex < 0 || doorIndex >= kShopDoorCount) return kShopNoItem;
    if (category < 0 || category >= kEquipmentCategoryCount) return kShopNoItem;
    const ShopOffer& offer = kShopOffers[doorIndex][category];
    if (cursorRow < 0 || cursorRow >= offer.rowCount || cursorRow >= kShopItemRows) return kShopNoItem;
    return offer.firstRow + cursorRow;
}

std::int32_t ShopCost(int category, std::int32_t row) {
    const EquipmentRecord* item = FindEquipment(category, row);
    const EquipmentRecord* worn = WornItem(category);
    const std::int32_t price = item != nullptr ? item->price : 0;
    // A worn row outside its table trades in for nothing.
    return price - (worn != nullptr ? worn->price / 2 : 0);
}

const char* PriceBlanks(std::int32_t price) {
    if (price >= 1000000) return "";
    if (price >= 100000) return " ";
    if (price >= 10000) return "  ";
    if (price >= 1000) return "   ";
    if (price >= 100) return "    ";
    if (price >= 10) return "     ";
    return "      ";
}

void RunShopFrame() {
    ShopState& shop = g_ShopState;
    DerivedStats& stats = g_DerivedStats;
    CountFrame(shop.frameCounter);
    const ColorCode white = ApiMakeColorCode(255, 255, 255);
    UpdateMaxima();
    stats.shopCurrent = ComputeDisplayFigures(stats.strTotal, stats.dexTotal, stats.intTotal, stats.lukTotal,
                                              stats.equipmentDef, WornWeaponAtk());

    DrawOffer(white);
    shop.selectedRow = ShopOfferRow(shop.doorIndex, shop.category, shop.cursorRow);
    const EquipmentRecord* selected = FindEquipment(shop.category, shop.selectedRow);
    if (selected != nullptr) ComputePreview(*selected);
    ApiDrawTextFormatted(310, 85, white, "status");
    ApiDrawTextFormatted(510, 85, white, "price");
    ApiDrawTextFormatted(90, 285, white, "EXIT");
    DrawEquipmentPanel(stats.shopCurrent, selected != nullptr ? &stats.shopPreview : nullptr);
    DrawCursors();

    const std::uint32_t pressed = g_FrameInputState.newlyPressed;
    if ((pressed & g_KeyMasks[kKeyCancelAttack]) != 0) Cancel();
    if ((pressed & g_KeyMasks[kKeyDecideJump]) != 0) Decide();
    switch (shop.step) {
        case kShopShortOfMoney: DrawShortOfMoney(white); break;
        case kShopConfirming: Confirm(white); break;
        default: Browse(); break;
    }
}
