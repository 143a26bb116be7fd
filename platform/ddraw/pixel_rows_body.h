// The row loops of pixel_rows.cpp, which includes this twice: inside
// namespace `plain` for any x86-64 and inside namespace `wide` built for
// processors with 32-byte registers, each with its own `AllBitsSet`. No
// include guard, on purpose.

// 32 bytes of pixels of type P.
template <typename P>
struct VecOf;
template <>
struct VecOf<std::uint8_t> {
    typedef std::uint8_t type __attribute__((vector_size(32)));
};
template <>
struct VecOf<std::uint16_t> {
    typedef std::uint16_t type __attribute__((vector_size(32)));
};
template <>
struct VecOf<std::uint32_t> {
    typedef std::uint32_t type __attribute__((vector_size(32)));
};
template <typename P>
using Vec = typename VecOf<P>::type;

// Whole vectors of the pattern, then what is left pixel by pixel.
template <typename P>
inline void FillRow(std::uint8_t* row, std::size_t count, P value) {
    constexpr std::size_t kLanes = 32 / sizeof(P);
    const Vec<P> pattern = Vec<P>{} + value;
    std::size_t i = 0;
    for (; i + 4 * kLanes <= count; i += 4 * kLanes) {
        std::memcpy(row + i * sizeof(P), &pattern, sizeof pattern);
        std::memcpy(row + (i + kLanes) * sizeof(P), &pattern, sizeof pattern);
        std::memcpy(row + (i + 2 * kLanes) * sizeof(P), &pattern, sizeof pattern);
        std::memcpy(row + (i + 3 * kLanes) * sizeof(P), &pattern, sizeof pattern);
    }
    for (; i + kLanes <= count; i += kLanes) std::memcpy(row + i * sizeof(P), &pattern, sizeof pattern);
    if (i == count) return;
    // The rest as a last whole vector over pixels already filled, if the
    // row has one.
    if (count >= kLanes) {
        std::memcpy(row + (count - kLanes) * sizeof(P), &pattern, sizeof pattern);
        return;
    }
    for (; i < count; ++i) std::memcpy(row + i * sizeof(P), &value, sizeof(P));
}

// Pixels whose masked value equals the key keep the destination; vectors
// wholly keyed are not touched. The last whole vector is worked out first, from
// the destination as it was, so that it may overlap the one before it.
template <typename P>
inline void KeyedRow(std::uint8_t* out, const std::uint8_t* in, std::size_t count, P mask, P key) {
    constexpr std::size_t kLanes = 32 / sizeof(P);
    if (count < kLanes) {
        for (std::size_t i = 0; i < count; ++i) {
            P v;
            std::memcpy(&v, in + i * sizeof(P), sizeof(P));
            if ((v & mask) != key) std::memcpy(out + i * sizeof(P), &v, sizeof(P));
        }
        return;
    }
    const Vec<P> masks = Vec<P>{} + mask, keys = Vec<P>{} + key;
    const std::size_t last = count - kLanes;
    Vec<P> s, d;
    std::memcpy(&s, in + last * sizeof(P), sizeof s);
    std::memcpy(&d, out + last * sizeof(P), sizeof d);
    Vec<P> keep = (Vec<P>)((s & masks) == keys);
    const Vec<P> tail = (d & keep) | (s & ~keep);
    for (std::size_t i = 0; i < last; i += kLanes) {
        std::memcpy(&s, in + i * sizeof(P), sizeof s);
        keep = (Vec<P>)((s & masks) == keys);
        const Lanes64 all = (Lanes64)keep;
        if (AllBitsSet(all)) continue;
        std::memcpy(&d, out + i * sizeof(P), sizeof d);
        d = (d & keep) | (s & ~keep);
        std::memcpy(out + i * sizeof(P), &d, sizeof d);
    }
    std::memcpy(out + last * sizeof(P), &tail, sizeof tail);
}

template <int Bytes>
inline void SteppedRow(std::uint8_t* out, const std::uint8_t* in, const std::uint32_t* offsets, std::size_t count,
                       bool keyed, DWORD mask, DWORD key) {
    if (!keyed) {
        for (std::size_t i = 0; i < count; ++i) std::memcpy(out + i * Bytes, in + offsets[i], Bytes);
        return;
    }
    for (std::size_t i = 0; i < count; ++i)
        if ((ReadPixel(in + offsets[i], Bytes) & mask) != key) std::memcpy(out + i * Bytes, in + offsets[i], Bytes);
}

inline void FillRow24(std::uint8_t* row, std::size_t count, DWORD value) {
    for (std::size_t i = 0; i < count; ++i) WritePixel(row + i * 3, 3, value);
}

inline void KeyedRow24(std::uint8_t* out, const std::uint8_t* in, std::size_t count, DWORD mask, DWORD key) {
    for (std::size_t i = 0; i < count; ++i) {
        const DWORD v = ReadPixel(in + i * 3, 3);
        if ((v & mask) != key) WritePixel(out + i * 3, 3, v);
    }
}

template <typename P>
inline void FillRows(std::uint8_t* first, std::size_t pitch, std::size_t width, std::size_t rows, P value) {
    for (std::size_t y = 0; y < rows; ++y) FillRow<P>(first + y * pitch, width, value);
}

void Fill(std::uint8_t* first, std::size_t pitch, std::size_t width, std::size_t rows, int bytes, DWORD value) {
    switch (bytes) {
        case 1:
            for (std::size_t y = 0; y < rows; ++y) std::memset(first + y * pitch, static_cast<int>(value & 0xFF), width);
            break;
        case 2: FillRows<std::uint16_t>(first, pitch, width, rows, static_cast<std::uint16_t>(value)); break;
        case 3:
            for (std::size_t y = 0; y < rows; ++y) FillRow24(first + y * pitch, width, value);
            break;
        default: FillRows<std::uint32_t>(first, pitch, width, rows, value); break;
    }
}

template <typename P>
inline void KeyedRows(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in, std::size_t inPitch,
                      std::size_t width, std::size_t rows, P mask, P key) {
    for (std::size_t y = 0; y < rows; ++y) KeyedRow<P>(out + y * outPitch, in + y * inPitch, width, mask, key);
}

void Keyed(std::uint8_t* out, std::size_t outPitch, const std::uint8_t* in, std::size_t inPitch, std::size_t width,
           std::size_t rows, int bytes, DWORD mask, DWORD key) {
    switch (bytes) {
        case 1:
            KeyedRows<std::uint8_t>(out, outPitch, in, inPitch, width, rows, static_cast<std::uint8_t>(mask),
                                    static_cast<std::uint8_t>(key));
            break;
        case 2:
            KeyedRows<std::uint16_t>(out, outPitch, in, inPitch, width, rows, static_cast<std::uint16_t>(mask),
                                     static_cast<std::uint16_t>(key));
            break;
        case 3:
            for (std::size_t y = 0; y < rows; ++y) KeyedRow24(out + y * outPitch, in + y * inPitch, width, mask, key);
            break;
        default: KeyedRows<std::uint32_t>(out, outPitch, in, inPitch, width, rows, mask, key); break;
    }
}

void Stepped(std::uint8_t* out, const std::uint8_t* in, const std::uint32_t* offsets, std::size_t count, int bytes,
             bool keyed, DWORD mask, DWORD key) {
    switch (bytes) {
        case 1: SteppedRow<1>(out, in, offsets, count, keyed, mask, key); break;
        case 2: SteppedRow<2>(out, in, offsets, count, keyed, mask, key); break;
        case 3: SteppedRow<3>(out, in, offsets, count, keyed, mask, key); break;
        default: SteppedRow<4>(out, in, offsets, count, keyed, mask, key); break;
    }
}
