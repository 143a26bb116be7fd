// The graphic table: the `GraphRecord` behind every graphic handle, how a
// handle is made, looked up and released, and how every graphic is flagged
// lost and handed to the reload handler after the display device was lost.
// Every other graphics module reaches a graphic through `LookupGraph`.
#pragma once

#include <cstdint>

#include "core/handle.h"

constexpr int kGraphStorageMax = 64;
constexpr int kGraphNameSize = 64;
constexpr int kGraphDirectorySize = 256;

struct GraphRecord {
    std::uint32_t checkNumber;
    int* lostFlagLink;           // caller's int: 0 when linked, 1 once the graphic is released
    HandleId handle;
    std::uint8_t textureGraph;   // 1: the image lives in Direct3D textures; 0: in 2D surfaces
    std::uint8_t alphaSetting;   // the surface's alpha channel flag
    std::uint8_t drawable;       // 1: may be selected as a draw target
    std::uint8_t systemMemory;   // 1: plain surfaces in system memory
    std::uint8_t alphaTest;
    std::uint8_t colorBitDepth;  // 16 or 32
    std::uint8_t palettedSource; // made for a 1-byte image without alpha (plain graphics only)
    std::uint32_t repackFlag;    // repack flag of the load that wrote the image
    HandleId storageHandles[kGraphStorageMax];  // 2D surfaces, or 3D surface data of the tiles
    int storageCount;
    char name[kGraphNameSize];            // image file name, for the log and reloading
    char directory[kGraphDirectorySize];  // current directory at load time
    int sourceX, sourceY;                 // where the image starts inside the loaded file image
    int width, height;
    HandleId movieHandle;        // -1: shows no movie
    std::uint32_t lost;          // 1 after device loss until the image is written again
    void* ownedBuffer;           // tracked block freed with the record, or null
};

using GraphHandleTable = HandleTable<GraphRecord, kHandleTypeGraph, kGraphSlotCount>;
using GraphReloadHandler = void (*)();

struct GraphTable {
    GraphHandleTable handles;
    int initialised;                    // set by graphics start-up, cleared at shut-down
    GraphReloadHandler reloadHandler;   // kept across start-up
};

extern GraphTable g_GraphTable;

// Graphics start-up: empties the table and its counter, keeps the reload
// handler and sets the initialised flag. Records still in the table are
// freed first (their storage is the storage modules' business).
int InitGraphTable();
// Shut-down: releases every graphic and clears the initialised flag.
int TermGraphTable();

// The low-level maker: no storage is created. 0 while drawing is suppressed.
// A full table or a failed allocation is fatal.
HandleId NewGraphHandle(int width, int height, int textureRequest, GraphRecord** outRecord,
                        int alphaSetting, int palettedSource);
// `NewGraphHandle` and the image storage; -1 (and nothing left behind) when
// the storage cannot be made.
HandleId CreateGraphWithSurfaces(int width, int height, int textureRequest, int alphaSetting,
                                 int palettedSource);
HandleId MakeEmptyGraph(int width, int height, int plainFlag);

inline GraphRecord* LookupGraph(HandleId handle) { return g_GraphTable.handles.Lookup(handle); }
int LinkGraphLostFlag(HandleId handle, int* lostFlag);
// A graphic's size, or the screen's for -2 and -4; null out pointers are skipped.
int QueryGraphSize(HandleId handle, int* width, int* height);
int ReleaseGraph(HandleId handle, int logFlag);
int ReleaseAllGraphs(int logFlag);

int SetGraphReloadHandler(GraphReloadHandler handler);
int HasGraphReloadHandler();
int FlagGraphsLostAndReload();

// Tests cannot survive the process exit of a fatal error: with a hook set,
// a full table or failed allocation calls it instead and `NewGraphHandle`
// returns -1. Null restores the fatal path.
using GraphFatalHook = void (*)(const char* text);
void SetGraphFatalHookForTest(GraphFatalHook hook);
