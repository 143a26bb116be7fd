// Graphic handles, loading and the graphics device, as start-up, the public
// entries and the window procedure call them. Declared here until the
// graphics issues build them.
#pragma once

#include "graphics/graph_record.h"
#include "platform/window.h"

int InitGraphicsDevice(HWND window);
int TermGraphicsDevice();
int LoadImageToGraph(const char* fileName, int flag);
int LoadImageToDivGraphs(const char* fileName, int total, int columns, int rows, int pieceWidth, int pieceHeight,
                         int* handles, int flag);
int RestoreAllGraphs();
int RecoverGraphicsAfterDeviceLoss();
// A drawable graphic of this size, or -1.
int MakeDrawableGraph(int width, int height);
// A graphic made from a black base image of this size (the base image is
// made and released inside), or -1. Used to clear the screens at start-up.
int MakeScreenClearGraph(int width, int height);
