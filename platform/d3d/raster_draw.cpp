// One draw: every primitive set up once, then scanned row by row. Large
// draws are cut into horizontal bands that a fixed pool of threads scans at
// once; each band walks all primitives in their order, so every pixel sees
// its fragments in draw order.
#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "d3d/raster_internal.h"

namespace {

// Draws smaller than this many pixels are not worth waking threads for.
constexpr long kBandThreshold = 24 * 1024;
constexpr long kPixelsPerBand = 12 * 1024;

class BandPool {
public:
    static BandPool& Get() {
        static BandPool pool;
        return pool;
    }

    int Workers() const { return static_cast<int>(threads_.size()) + 1; }

    // Runs work(0) .. work(count - 1), this thread taking its share.
    void Run(int count, const std::function<void(int)>& work) {
        std::lock_guard caller(runMutex_);
        {
            std::lock_guard lock(mutex_);
            work_ = &work;
            count_ = count;
            next_.store(0);
            done_ = 0;
            ++generation_;
        }
        wake_.notify_all();
        Drain();
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [&] { return done_ == count_; });
        work_ = nullptr;
    }

private:
    BandPool() {
        const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
        const int extra = static_cast<int>(std::min(hardware, 8u)) - 1;
        for (int i = 0; i < extra; ++i) threads_.emplace_back([this] { Serve(); });
    }

    ~BandPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    void Drain() {
        int finished = 0;
        for (int i = next_.fetch_add(1); i < count_; i = next_.fetch_add(1)) {
            (*work_)(i);
            ++finished;
        }
        if (finished == 0) return;
        std::lock_guard lock(mutex_);
        done_ += finished;
        if (done_ == count_) finished_.notify_all();
    }

    void Serve() {
        std::uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
                if (stopping_) return;
                seen = generation_;
                if (work_ == nullptr) continue;
            }
            Drain();
        }
    }

    std::vector<std::thread> threads_;
    std::mutex runMutex_;  // one draw at a time uses the pool
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    const std::function<void(int)>* work_ = nullptr;
    int count_ = 0;
    int done_ = 0;
    std::atomic<int> next_{0};
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
};

void ScanRows(const RasterPipeline& p, const FastPlan* plan, const std::vector<PrimSetup>& setups, int rowTop,
              int rowBottom) {
    for (const PrimSetup& s : setups) {
        const int top = std::max(s.top, rowTop), bottom = std::min(s.bottom, rowBottom);
        if (top >= bottom) continue;
        if (s.kind == PrimKind::Line) {
            DrawLineRows(p, s, top, bottom);
            continue;
        }
        for (int y = top; y < bottom; ++y) {
            int x0 = 0, x1 = 0;
            SpanOnRow(s, y, &x0, &x1);
            if (x0 >= x1) continue;
            if (plan != nullptr && ShadeSpanFast(*plan, p, s, y, x0, x1)) continue;
            ShadeSpanReference(p, s, y, x0, x1);
        }
    }
}

}  // namespace

void RasterDraw(const RasterPipeline& p, const std::vector<RasterVertex>& vertices,
                const std::vector<RasterPrim>& prims) {
    thread_local std::vector<PrimSetup> setups;
    setups.clear();
    long area = 0;
    int top = INT_MAX, bottom = INT_MIN;
    for (const RasterPrim& prim : prims) {
        PrimSetup s;
        if (!SetUpPrim(p, vertices, prim, &s)) continue;
        area += static_cast<long>(s.bottom - s.top) * (s.right - s.left);
        top = std::min(top, s.top);
        bottom = std::max(bottom, s.bottom);
        setups.push_back(s);
    }
    if (setups.empty()) return;
    FastPlan planStorage;
    const FastPlan* plan = PlanFastSpans(p, &planStorage) ? &planStorage : nullptr;

    int bands = 1;
    if (p.bandThreads != 1 && area >= kBandThreshold) {
        BandPool& pool = BandPool::Get();
        const int threads = p.bandThreads > 1 ? p.bandThreads : pool.Workers();
        bands = static_cast<int>(std::min<long>({static_cast<long>(threads), area / kPixelsPerBand,
                                                 static_cast<long>(bottom - top)}));
    }
    if (bands <= 1) {
        ScanRows(p, plan, setups, top, bottom);
        return;
    }
    const int rows = bottom - top;
    const std::vector<PrimSetup>& shared = setups;
    BandPool::Get().Run(bands, [&](int band) {
        const int rowTop = top + static_cast<int>(static_cast<long>(rows) * band / bands);
        const int rowBottom = top + static_cast<int>(static_cast<long>(rows) * (band + 1) / bands);
        ScanRows(p, plan, shared, rowTop, rowBottom);
    });
}
