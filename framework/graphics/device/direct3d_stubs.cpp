// Stand-ins for the Direct3D layer until it is built: it is never up.
#include "graphics/device/direct3d.h"

int IsDirect3DUp() { return 0; }
int HasDevice3DInterface() { return 0; }
int SetDrawTargetOnDevice(HandleId) { return 0; }
int ApplyDrawTargetToDevice(int) { return -1; }
int ApplyViewport3D(const RECT&) { return -1; }
int ApplyFilterModeToDevice(int) { return -1; }
int SetBlendMaskTextureOnDevice(GraphRecord*, int, int) { return -1; }
int UpdateDrawColorState() { return 0; }
int FillBox3D(int, int, int, int, std::uint32_t) { return -1; }
int SetDeviceWorldTransform(const Matrix4x4&) { return -1; }
int SetDeviceViewTransform(const Matrix4x4&) { return -1; }
int SetDeviceProjectionTransform(const Matrix4x4&) { return -1; }
int GetTextureFormatIndex(int, int, int, int) { return -1; }
const TextureFormatSlot* GetTextureFormatSlot(int) { return nullptr; }
const D_DDPIXELFORMAT* GetZBufferPixelFormat() { return nullptr; }
int RestoreLostSurface3DData() { return 0; }
int CreateGraphTextures(GraphRecord*) { return -1; }
int DeleteGraphTextures(GraphRecord*) { return -1; }
int CreatePartGraphTextures(GraphRecord*, int, int, const GraphRecord*) { return -1; }
int WriteImageToGraphTextures(GraphRecord*, const GraphImage*, const GraphImage*, int, int) { return -1; }
int RestoreGraphTextures(GraphRecord*) { return -1; }
int StartUpDirect3D() { return -1; }
int ShutDownDirect3D() { return 0; }
int FlushVertexBatch() { return 0; }
int EndDeviceScene() { return 0; }
