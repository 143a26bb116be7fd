// The vertex batch's sending, the draw colour word, and the blend state:
// the cache setters that only store and mark the state dirty, and
// ApplyDeviceBlendState, which turns them into render and stage states.
#include <algorithm>

#include "core/system_state.h"
#include "graphics/d3d/d3d_blend_tables.h"
#include "graphics/d3d/d3d_device.h"
#include "graphics/device/surface_data.h"
#include "graphics/draw/draw_state.h"
#include "graphics/draw/graph_record.h"

namespace {

void* BufferOf(Device3DRecord& r, int type) {
    switch (type) {
        case kVertexTypeColor: return r.buffer20;
        case kVertexTypeMasked: return r.buffer40;
        default: return r.buffer28;
    }
}

int AlphaKind(const Device3DRecord& r) { return r.textureAlpha ? 1 : r.alphaTest ? 2 : 0; }

// The render states and stage settings one blend state asks for.
struct BlendPlan {
    int vertexType;
    int alphaTestEnable, alphaRef, alphaFunc;
    int alphaBlendEnable;
    int textureFactor;  // kLeave: as it is
    int srcBlend, destBlend;
    StageEntry stages;
    bool keepStages;  // untextured: the stages stay as they were set
    int textureStage;  // where the graphic's texture goes; -1 none
    bool skipDraw;
};

// The blend-mask factor for border parameter p and range.
void MaskFactor(int p, int range, BlendPlan* plan) {
    struct Band {
        int base, scale, op, threshold;
    };
    const Band band = range <= 64    ? Band{1280, 64, D_D3DTOP_MODULATE4X, 1023}
                      : range <= 128 ? Band{768, 128, D_D3DTOP_MODULATE2X, 511}
                                     : Band{512, 255, D_D3DTOP_MODULATE, 255};
    const int k = -(p * band.base / 255);
    const int a = band.base + k;
    int factor;
    if (a > band.threshold) {
        factor = ((k + 256) * band.scale) / 256;
        plan->stages.stages[0].alphaOp = D_D3DTOP_ADD;
    } else {
        factor = 255 - (a * 255) / (band.threshold + 1);
        plan->stages.stages[0].alphaOp = D_D3DTOP_SUBTRACT;
    }
    plan->textureFactor = static_cast<int>(static_cast<std::uint32_t>(factor & 0xFF) << 24 | 0x00FFFFFFu);
    plan->stages.stages[1].alphaOp = band.op;
}

BlendPlan PlanBlend(const Device3DRecord& r) {
    BlendPlan plan{};
    const int mode = r.blendMode >= 0 && r.blendMode <= 8 ? r.blendMode : 0;
    const BlendRow& row = kBlendTable[mode];
    plan.srcBlend = row.srcBlend;
    plan.destBlend = row.destBlend;
    plan.alphaBlendEnable = row.blending;
    plan.textureFactor = kLeave;
    plan.textureStage = -1;
    const int kind = AlphaKind(r);
    const bool plainMode = mode == 0 || mode == 6;
    if (r.texture == nullptr) {
        plan.vertexType = kVertexTypeColor;
        plan.alphaTestEnable = 0;
        plan.alphaRef = static_cast<int>(r.alphaRef);
        plan.alphaFunc = static_cast<int>(r.alphaFunc);
        if (mode == 3) {
            plan.stages = StageEntry{1, {kUntexturedSubtractStage, stage_table::kDisabled}};
        } else {
            plan.keepStages = true;
        }
        return plan;
    }
    if (r.blendMaskTexture == nullptr) {
        plan.vertexType = kVertexTypeTextured;
        plan.stages = kStageTable[StageTableIndex(false, r.modulate, r.blendOn, kind)];
        plan.textureStage = 0;
        plan.textureFactor = static_cast<int>(0xFFFFFFFFu);
        if (kind == 2) {
            plan.alphaTestEnable = 1;
            plan.alphaRef = 16;
            plan.alphaFunc = D_D3DCMP_GREATER;
        } else if (r.zEnable) {
            plan.alphaTestEnable = 1;
            plan.alphaRef = 0;
            plan.alphaFunc = D_D3DCMP_GREATER;
        } else {
            plan.alphaTestEnable = 0;
            plan.alphaRef = static_cast<int>(r.alphaRef);
            plan.alphaFunc = static_cast<int>(r.alphaFunc);
        }
        if (kind == 1 && plainMode) {
            plan.srcBlend = D_D3DBLEND_SRCALPHA;
            plan.destBlend = D_D3DBLEND_INVSRCALPHA;
        }
        plan.alphaBlendEnable = kind == 1 || row.blending;
        return plan;
    }
    plan.vertexType = kVertexTypeMasked;
    plan.stages = kStageTable[StageTableIndex(true, r.modulate, r.blendOn, kind)];
    plan.textureStage = kind == 1 ? 2 : 1;
    if (plainMode) {
        plan.srcBlend = D_D3DBLEND_SRCALPHA;
        plan.destBlend = D_D3DBLEND_INVSRCALPHA;
    }
    plan.skipDraw = r.borderParam == 255;
    if (r.borderRange < 2) {
        plan.alphaTestEnable = 1;
        plan.alphaRef = r.borderParam == 0 && kind != 0 ? 1 : r.borderParam;
        plan.alphaFunc = D_D3DCMP_GREATEREQUAL;
        plan.alphaBlendEnable = 0;
        plan.textureFactor = 0x00FFFFFF;
    } else {
        plan.alphaTestEnable = 0;
        plan.alphaRef = static_cast<int>(r.alphaRef);
        plan.alphaFunc = static_cast<int>(r.alphaFunc);
        plan.alphaBlendEnable = 1;
        MaskFactor(r.borderParam, r.borderRange, &plan);
    }
    return plan;
}

// A state the plan leaves as it is keeps the cache's value; under push-all
// the device is sent that value too, since a device made again holds none
// of what the cache remembers. A blend factor of 0 was never set.
void SendIfChanged(Device3DRecord& r, std::uint32_t Device3DRecord::*field, DWORD state, int value) {
    if (value == kLeave) {
        const bool unsetFactor = (state == D_D3DRENDERSTATE_SRCBLEND || state == D_D3DRENDERSTATE_DESTBLEND) &&
                                 r.*field == 0;
        if (!r.pushAll || unsetFactor) return;
        value = static_cast<int>(r.*field);
    }
    const std::uint32_t v = static_cast<std::uint32_t>(value);
    if (r.*field == v && !r.pushAll) return;
    r.device->SetRenderState(state, v);
    r.*field = v;
}

void SendStageState(Device3DRecord& r, int stage, std::uint16_t StageStateCache::*field, DWORD state, int value) {
    StageStateCache& cache = r.stages[stage];
    if (value == kLeave) {
        if (!r.pushAll) return;
        value = cache.*field;
    }
    const std::uint16_t v = static_cast<std::uint16_t>(value);
    if (cache.*field == v && !r.pushAll) return;
    r.device->SetTextureStageState(static_cast<DWORD>(stage), state, static_cast<DWORD>(value));
    cache.*field = v;
}

void SendStage(Device3DRecord& r, int stage, const StageSetting& s) {
    SendStageState(r, stage, &StageStateCache::alphaOp, D_D3DTSS_ALPHAOP, s.alphaOp);
    SendStageState(r, stage, &StageStateCache::alphaArg1, D_D3DTSS_ALPHAARG1, s.alphaArg1);
    SendStageState(r, stage, &StageStateCache::alphaArg2, D_D3DTSS_ALPHAARG2, s.alphaArg2);
    SendStageState(r, stage, &StageStateCache::colorOp, D_D3DTSS_COLOROP, s.colorOp);
    SendStageState(r, stage, &StageStateCache::colorArg1, D_D3DTSS_COLORARG1, s.colorArg1);
    SendStageState(r, stage, &StageStateCache::colorArg2, D_D3DTSS_COLORARG2, s.colorArg2);
}

// Every state of the stage as the cache holds it.
constexpr StageSetting kCachedStage{kLeave, kLeave, kLeave, kLeave, kLeave, kLeave};

void SendStageTexture(Device3DRecord& r, int stage, D_IDirectDrawSurface7* texture) {
    StageStateCache& cache = r.stages[stage];
    if (cache.texture == texture && !r.pushAll) return;
    r.device->SetTexture(static_cast<DWORD>(stage), texture);
    cache.texture = texture;
}

// The texture each stage holds under the plan.
D_IDirectDrawSurface7* TextureOfStage(const Device3DRecord& r, const BlendPlan& plan, int stage) {
    if (plan.vertexType == kVertexTypeMasked && stage == 0) return r.blendMaskTexture;
    return stage == plan.textureStage ? r.texture : nullptr;
}

int StoreIfChanged(int handle, int Device3DRecord::*field, int value) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->*field == value && !r->pushAll) return 0;
    FlushVertexBatchOn(handle);
    r->*field = value;
    r->blendDirty = 1;
    return 0;
}

}  // namespace

int FlushVertexBatchOn(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr) return -1;
    if (r->pendingCount > 0 && r->device != nullptr && GetQuitFlag() == 0 && !r->skipDraw)
        r->device->DrawPrimitive(r->primitiveType, kVertexFvf[r->vertexType], BufferOf(*r, r->vertexType),
                                 static_cast<DWORD>(r->pendingCount), 0);
    r->pendingCount = 0;
    return 0;
}

int FlushDeviceVertices() {
    if (g_Direct3D.direct3D == nullptr) return 0;
    return FlushVertexBatchOn(g_Direct3D.currentDevice);
}

int UpdateDrawColorState() {
    const DrawState& s = g_DrawState;
    const std::uint32_t alpha = s.blendMode != 0 ? static_cast<std::uint32_t>(s.blendParam) & 0xFF : 255;
    g_Direct3D.drawColor = alpha << 24 | (s.brightColor & 0xFFFFFF);
    return 0;
}

int SetDeviceTexture(int handle, D_IDirectDrawSurface7* texture) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->texture == texture && !r->pushAll) return 0;
    FlushVertexBatchOn(handle);
    // Binding or unbinding changes the vertex type and stages; a swap of
    // one texture for another needs the new texture alone.
    if (r->texture == nullptr || texture == nullptr)
        r->blendDirty = 1;
    r->textureDirty = 1;
    r->texture = texture;
    return 0;
}

int SetDeviceBlendParams(int handle, int mode, int textureAlpha, int alphaTest) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->blendMode == mode && r->textureAlpha == textureAlpha && r->alphaTest == alphaTest && !r->pushAll) return 0;
    FlushVertexBatchOn(handle);
    r->blendMode = mode;
    r->textureAlpha = textureAlpha;
    r->alphaTest = alphaTest;
    r->blendDirty = 1;
    return 0;
}

int SetDeviceBlendMaskTexture(int handle, D_IDirectDrawSurface7* texture, int borderParam, int borderRange) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (r->blendMaskTexture == texture && r->borderParam == borderParam && r->borderRange == borderRange &&
        !r->pushAll)
        return 0;
    FlushVertexBatchOn(handle);
    r->blendMaskTexture = texture;
    r->borderParam = borderParam;
    r->borderRange = borderRange;
    r->blendDirty = 1;
    return 0;
}

int SetDeviceBlendEnable(int handle, int value) { return StoreIfChanged(handle, &Device3DRecord::blendOn, value); }
int SetDeviceDiffuseUse(int handle, int value) { return StoreIfChanged(handle, &Device3DRecord::modulate, value); }

int SetBlendMaskTextureOnDevice(GraphRecord* graph, int borderParam, int borderRange) {
    if (g_Direct3D.direct3D == nullptr) return -1;
    const int handle = g_Direct3D.currentDevice;
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (graph == nullptr) {
        if (r->blendMaskTexture == nullptr && !r->pushAll) return 0;
        FlushVertexBatchOn(handle);
        r->blendMaskTexture = nullptr;
        if (borderParam != -1) r->borderParam = borderParam;
        if (borderRange != -1) r->borderRange = borderRange;
        r->blendDirty = 1;
        return 0;
    }
    const Surface3DDataRecord* tile =
        graph->textureGraph && graph->storageCount > 0 ? LookupSurface3DData(graph->storageHandles[0]) : nullptr;
    const SurfaceDataRecord* data = tile != nullptr ? LookupSurfaceData(tile->surfaceData) : nullptr;
    if (data == nullptr) return -1;
    g_Direct3D.maskWidth = data->width;
    g_Direct3D.maskHeight = data->height;
    g_Direct3D.maskInvWidth = 1.0f / data->width;
    g_Direct3D.maskInvHeight = 1.0f / data->height;
    return SetDeviceBlendMaskTexture(handle, data->surface, borderParam, borderRange);
}

int ApplyDeviceBlendState(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    if (!r->blendDirty && !r->textureDirty && !r->pushAll) return -1;
    if (!r->blendDirty && !r->pushAll) {
        // Only another texture: it goes where the graphic's texture sits.
        const int stage = r->blendMaskTexture != nullptr ? (AlphaKind(*r) == 1 ? 2 : 1) : 0;
        SendStageTexture(*r, stage, r->texture);
        r->textureDirty = 0;
        return 0;
    }
    const BlendPlan plan = PlanBlend(*r);
    if (plan.vertexType != r->vertexType) {
        FlushVertexBatchOn(handle);
        r->vertexType = plan.vertexType;
    }
    r->skipDraw = plan.skipDraw ? 1 : 0;
    const int stageCount = plan.keepStages ? r->stagesInUse : plan.stages.count;
    if (stageCount != r->stagesInUse) {
        r->stagesInUse = stageCount;
        const int push = r->pushAll;
        r->pushAll = 1;
        SetDeviceFilterMode(handle, static_cast<int>(r->filterMode));
        r->pushAll = push;
    }
    SendIfChanged(*r, &Device3DRecord::alphaFunc, D_D3DRENDERSTATE_ALPHAFUNC, plan.alphaFunc);
    SendIfChanged(*r, &Device3DRecord::alphaRef, D_D3DRENDERSTATE_ALPHAREF, plan.alphaRef);
    SendIfChanged(*r, &Device3DRecord::alphaTestEnable, D_D3DRENDERSTATE_ALPHATESTENABLE, plan.alphaTestEnable);
    SendIfChanged(*r, &Device3DRecord::alphaBlendEnable, D_D3DRENDERSTATE_ALPHABLENDENABLE, plan.alphaBlendEnable);
    SendIfChanged(*r, &Device3DRecord::textureFactor, D_D3DRENDERSTATE_TEXTUREFACTOR, plan.textureFactor);
    SendIfChanged(*r, &Device3DRecord::srcBlend, D_D3DRENDERSTATE_SRCBLEND, plan.srcBlend);
    SendIfChanged(*r, &Device3DRecord::destBlend, D_D3DRENDERSTATE_DESTBLEND, plan.destBlend);
    const int last = std::min(stageCount + 1, kCacheStageCount);
    int stage = 0;
    for (; stage < last; ++stage) {
        if (stage >= 2 && r->stages[stage - 1].alphaOp == D_D3DTOP_DISABLE) break;
        SendStageTexture(*r, stage, TextureOfStage(*r, plan, stage));
        if (plan.keepStages)
            SendStage(*r, stage, kCachedStage);
        else
            SendStage(*r, stage, stage < plan.stages.count ? plan.stages.stages[stage] : stage_table::kDisabled);
    }
    // Under push-all the stages after those the plan covers get what the
    // cache holds, so that the device holds every value the cache does; no
    // texture is left bound where no stage reads it.
    for (; r->pushAll && stage < kCacheStageCount; ++stage) {
        SendStageTexture(*r, stage, nullptr);
        SendStage(*r, stage, kCachedStage);
    }
    r->blendDirty = 0;
    r->textureDirty = 0;
    return 0;
}

int ReapplyDeviceStates(int handle) {
    Device3DRecord* r = LookupDevice3D(handle);
    if (r == nullptr || r->device == nullptr) return -1;
    r->pushAll = 1;
    ApplyDeviceBlendState(handle);
    SetDeviceFilterMode(handle, static_cast<int>(r->filterMode));
    r->pushAll = 0;
    return 0;
}
