// Fills and keyed copies work 32 bytes at a time. The loops are built twice,
// for any x86-64 and for processors with 32-byte registers, and the second
// is chosen once when the processor has them.
#include "ddraw/pixel_rows.h"

#include <atomic>
#include <cstring>

#include "ddraw/pixel_access.h"
#include "platform/display.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace {

typedef std::uint64_t Lanes64 __attribute__((vector_size(32)));

namespace plain {
inline bool AllBitsSet(const Lanes64& v) {
#if defined(__x86_64__) || defined(__i386__)
    __m128i low, high;
    std::memcpy(&low, &v, 16);
    std::memcpy(&high, reinterpret_cast<const char*>(&v) + 16, 16);
    return _mm_movemask_epi8(_mm_and_si128(low, high)) == 0xFFFF;
#else
    return (v[0] & v[1] & v[2] & v[3]) == ~std::uint64_t{0};
#endif
}
#include "ddraw/pixel_rows_body.h"
}  // namespace plain

#if defined(__x86_64__) || defined(__i386__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace wide {
inline bool AllBitsSet(const Lanes64& v) { return _mm256_movemask_epi8(reinterpret_cast<__m256i>(v)) == -1; }
#include "ddraw/pixel_rows_body.h"
}  // namespace wide
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

struct RowFunctions {
    decltype(&plain::Fill) fill;
    decltype(&plain::Keyed) keyed;
    decltype(&plain::Stepped) stepped;
};

std::atomic<bool> g_wideAllowed{true};

const RowFunctions& Chosen() {
    static const RowFunctions plainFunctions{&plain::Fill, &plain::Keyed, &plain::Stepped};
#if defined(__x86_64__) || defined(__i386__)
    static const RowFunctions wideFunctions{&wide::Fill, &wide::Keyed, &wide::Stepped};
    static const bool wideAvailable = __builtin_cpu_supports("avx2") != 0;
    if (wideAvailable && g_wideAllowed.load(std::memory_order_relaxed)) return wideFunctions;
#endif
    return plainFunctions;
}

}  // namespace

void PlatformAllowWidePixelMoves(bool allowed) { g_wideAllowed.store(allowed, std::memory_order_relaxed); }

void FillPixels(std::uint8_t* first, std::size_t pitch, std::size_t width, std::size_t rows, int bytes, DWORD value) {
    Chosen().fill(first, pitch, width, rows, bytes, value);
}

void CopyKeyedPixels(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in, std::size_t inPitch,
                     std::size_t width, std::size_t rows, int bytes, DWORD mask, DWORD key) {
    Chosen().keyed(out, outPitch, in, inPitch, width, rows, bytes, mask, key & mask);
}

void CopySteppedPixelRow(std::uint8_t* out, const std::uint8_t* in, const std::uint32_t* offsets, std::size_t count,
                         int bytes, bool keyed, DWORD mask, DWORD key) {
    Chosen().stepped(out, in, offsets, count, bytes, keyed, mask, key & mask);
}
