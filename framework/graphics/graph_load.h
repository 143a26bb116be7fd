// Graphic creation, loading and restore, and the graphics device's start
// and end.
#pragma once

#include "platform/types.h"

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
// The reload handler used when none is set: reloads every lost graphic from
// the file it was loaded from.
void DefaultGraphReloadHandler();

// The graphics manager: the graphic table and draw state made ready when a
// screen mode is applied, and taken down before the next.
int StartUpGraphicsManager();
int ShutDownGraphicsManager();
