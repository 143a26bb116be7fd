// One draw: every primitive set up once, then scanned row by row in draw
// order, on the calling thread. (Bands drawn by a pool of threads cost more
// in waking them than they saved, and starved on a busy machine.)
#include "d3d/raster_internal.h"

void RasterDraw(const RasterPipeline& p, const std::vector<RasterVertex>& vertices,
                const std::vector<RasterPrim>& prims) {
    thread_local std::vector<PrimSetup> setups;
    setups.clear();
    for (const RasterPrim& prim : prims) {
        PrimSetup s;
        if (SetUpPrim(p, vertices, prim, &s)) setups.push_back(s);
    }
    if (setups.empty()) return;
    FastPlan planStorage;
    const FastPlan* plan = PlanFastSpans(p, &planStorage) ? &planStorage : nullptr;
    thread_local std::vector<int> columns;
    if (plan != nullptr) PrepareColumns(*plan, p, &setups, &columns);

    for (const PrimSetup& s : setups) {
        if (s.kind == PrimKind::Line) {
            if (plan != nullptr && plan->texel == FastTexel::None)
                DrawLineFast(*plan, p, s);
            else
                DrawLine(p, s);
            continue;
        }
        if (plan != nullptr && s.overRuns) {
            DrawQuadOverRuns(*plan, p, s);
            continue;
        }
        for (int y = s.top; y < s.bottom; ++y) {
            int x0 = 0, x1 = 0;
            SpanOnRow(s, y, &x0, &x1);
            if (x0 >= x1) continue;
            if (plan != nullptr && ShadeSpanFast(*plan, p, s, y, x0, x1)) continue;
            ShadeSpanReference(p, s, y, x0, x1);
        }
    }
}
