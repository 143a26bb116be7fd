// Filling the vertex batch: the state a draw needs, sent through the cache
// setters, and the quads written straight into the device record's buffers.
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"

namespace {

void* WriteSlot(Device3DRecord& r) {
    switch (r.vertexType) {
        case kVertexTypeColor: return &r.buffer20[r.pendingCount];
        case kVertexTypeMasked: return &r.buffer40[r.pendingCount];
        default: return &r.buffer28[r.pendingCount];
    }
}

// The order in which a quad's corners make its two triangles, and the
// order with the winding reversed.
constexpr int kQuadOrder[2][6] = {{0, 1, 2, 3, 2, 1}, {0, 2, 1, 3, 1, 2}};

}  // namespace

int PrepareDeviceDrawState(const SurfaceDataRecord* texture, int flags) {
    const int handle = g_Direct3D.currentDevice;
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    const DrawState& s = g_DrawState;

    int textureAlpha = 0, alphaTest = 0, colorKey = 0;
    if (texture != nullptr && (flags & kPrepTransparent)) {
        const bool hasAlpha = texture->flags.AlphaChFlag || texture->flags.AlphaTestFlag;
        if (!hasAlpha) {
            colorKey = 1;
        } else if (s.blendMode != 0 && s.blendMode != 8) {
            textureAlpha = 1;
        } else if (!(flags & kPrepExactPixels) && s.filterMode == kFilterLinear) {
            textureAlpha = 1;
        } else if (texture->flags.AlphaChFlag) {
            textureAlpha = 1;
        } else {
            alphaTest = 1;
        }
    }
    const int modulate = (flags & kPrepForceModulate) || (s.brightColor & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
    const int blendOn = (flags & kPrepForceBlend) || s.blendMode != 0 ? 1 : 0;

    SetDeviceTexturePerspective(handle, (flags & kPrepPerspective) ? 1 : 0);
    SetDeviceDiffuseUse(handle, modulate);
    SetDeviceBlendEnable(handle, blendOn);
    SetDeviceTexture(handle, texture != nullptr ? texture->surface : nullptr);
    SetDeviceShadeMode(handle, static_cast<int>((flags & kPrepGouraud) ? D_D3DSHADE_GOURAUD : D_D3DSHADE_FLAT));
    SetDeviceCullMode(handle, 0);
    SetDeviceBlendParams(handle, s.blendMode, textureAlpha, alphaTest);
    if (r->blendDirty || r->textureDirty) ApplyDeviceBlendState(handle);
    SetDeviceColorKeyEnable(handle, colorKey);
    if (flags & kPrepDrawStateZ) {
        SetDeviceZEnable(handle, s.zEnable);
        SetDeviceZWriteEnable(handle, s.zWrite);
        SetDeviceZFunc(handle, s.zFunction);
    } else if (r->zEnable) {
        SetDeviceZEnable(handle, 0);
    }
    return 0;
}

void* ReserveBatch(Device3DRecord& r, D_D3DPRIMITIVETYPE type, int count) {
    if (r.pendingCount > 0 &&
        (r.primitiveType != type || r.pendingCount + count > kVertexCapacity[r.vertexType]))
        FlushVertexBatchOn(g_Direct3D.currentDevice);
    r.primitiveType = type;
    return WriteSlot(r);
}

void AppendQuad(Device3DRecord& r, const QuadCorner corners[4], std::uint32_t diffuse, bool reverse) {
    void* slot = ReserveBatch(r, D_D3DPT_TRIANGLELIST, 6);
    const float z = g_DrawState.drawZ;
    // Every vertex carries the colour, so that Gouraud shading sees it too.
    for (int i = 0; i < 6; ++i) {
        const QuadCorner& c = corners[kQuadOrder[reverse ? 1 : 0][i]];
        switch (r.vertexType) {
            case kVertexTypeColor:
                static_cast<Vertex20*>(slot)[i] = Vertex20{c.x, c.y, z, 1.0f, diffuse};
                break;
            case kVertexTypeMasked:
                // Set 0 feeds the mask on stage 0, set 1 the graphic.
                static_cast<Vertex40*>(slot)[i] = Vertex40{c.x,  c.y,  z, 1.0f, diffuse, 0xFFFFFFFFu,
                                                           c.x * g_Direct3D.maskInvWidth,
                                                           c.y * g_Direct3D.maskInvHeight, c.u, c.v};
                break;
            default:
                static_cast<Vertex28*>(slot)[i] = Vertex28{c.x, c.y, z, 1.0f, diffuse, c.u, c.v};
                break;
        }
    }
    r.pendingCount += 6;
}

const SurfaceDataRecord* TileTexture(HandleId tile, const Surface3DDataRecord** record) {
    const Surface3DDataRecord* t = LookupSurface3DData(tile);
    if (record != nullptr) *record = t;
    const SurfaceDataRecord* data = t != nullptr ? LookupSurfaceData(t->surfaceData) : nullptr;
    return data != nullptr && data->surface != nullptr ? data : nullptr;
}
