// What the storage of graphics (surface data and 2D surfaces) asks of the
// screen device: the DirectDraw object and the two mode flags. Tests of the
// storage replace these answers without starting a screen device.
#pragma once

struct D_IDirectDraw7;

D_IDirectDraw7* StorageDirectDraw();
// 1 unless the framework runs in software-only mode.
int StorageDirectDrawInUse();
// 1 while the screen is held as software images.
int StorageScreenIsMemImg();
// 1 when neither a DirectDraw object nor software-only mode is up: no
// storage can be made, changed or deleted then.
int StorageDeviceMissing();

struct StorageScreenOverride {
    D_IDirectDraw7* directDraw;
    int directDrawInUse;
    int screenMemImg;
};
// Null goes back to the screen device's own answers.
void SetStorageScreenOverrideForTest(const StorageScreenOverride* state);
