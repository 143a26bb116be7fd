#include "graphics/device/storage_device.h"

#include "graphics/device/screen_device.h"

namespace {
const StorageScreenOverride* g_override = nullptr;
}  // namespace

void SetStorageScreenOverrideForTest(const StorageScreenOverride* state) { g_override = state; }

D_IDirectDraw7* StorageDirectDraw() { return g_override ? g_override->directDraw : GetDirectDrawObject(); }

int StorageDirectDrawInUse() { return g_override ? g_override->directDrawInUse : IsDirectDrawInUse(); }

int StorageScreenIsMemImg() { return g_override ? g_override->screenMemImg : IsScreenMemImg(); }

int StorageDeviceMissing() { return StorageDirectDraw() == nullptr && StorageDirectDrawInUse() != 0; }
