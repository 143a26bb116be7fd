// The archive format's pieces: search names, keys, scrambling, and the
// packer and unpacker against each other and against hand-made streams.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "files/archive_format.h"
#include "files/archive_packer.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST(ArchiveSearchName, UpperCasesAsciiAndKeepsShiftJisPairs) {
    ArchiveSearchName s;
    ASSERT_EQ(MakeArchiveSearchName("file.bmp", 8, &s), 0);
    EXPECT_EQ(s.units, 3);  // 8 characters + at least one zero, in 4-byte units
    EXPECT_EQ(std::memcmp(s.form, "FILE.BMP\0\0\0\0", 12), 0);
    unsigned sum = 0;
    for (char c : std::string("FILE.BMP")) sum += static_cast<unsigned char>(c);
    EXPECT_EQ(s.check, sum & 0xFFFF);

    ASSERT_EQ(MakeArchiveSearchName("abcd", 4, &s), 0);
    EXPECT_EQ(s.units, 2);
    ASSERT_EQ(MakeArchiveSearchName("abc", 3, &s), 0);
    EXPECT_EQ(s.units, 1);

    // 0x82 0x61 is one character; its trail byte is not the letter 'a'.
    ASSERT_EQ(MakeArchiveSearchName("\x82\x61x", 3, &s), 0);
    EXPECT_EQ(std::memcmp(s.form, "\x82\x61X\0", 4), 0);

    EXPECT_EQ(MakeArchiveSearchName("", 0, &s), -1);
    std::string longName(kArchiveMaxNameLength + 1, 'n');
    EXPECT_EQ(MakeArchiveSearchName(longName.c_str(), longName.size(), &s), -1);
    EXPECT_EQ(MakeArchiveSearchName(longName.c_str(), kArchiveMaxNameLength, &s), 0);
}

TEST(ArchiveKey, KeyStringsRepeatAndTheBuiltInKeysDiffer) {
    unsigned char a[kArchiveKeySize], b[kArchiveKeySize], c[kArchiveKeySize];
    BuildArchiveKey("abc", a);
    BuildArchiveKey("abcabcabcabc", b);
    EXPECT_EQ(std::memcmp(a, b, kArchiveKeySize), 0);
    BuildArchiveKey("abcdefghijklMORE", a);
    BuildArchiveKey("abcdefghijkl", b);
    EXPECT_EQ(std::memcmp(a, b, kArchiveKeySize), 0);
    BuildArchiveKey(nullptr, a);
    BuildArchiveKey("", b);
    BuildSecondArchiveKey(c);
    EXPECT_EQ(std::memcmp(a, b, kArchiveKeySize), 0);
    EXPECT_NE(std::memcmp(a, c, kArchiveKeySize), 0);
    // Built, not stored: the key is no copy of any readable constant.
    int zeros = 0;
    for (unsigned char k : a) zeros += k == 0;
    EXPECT_LT(zeros, 3);
}

TEST(ArchiveKey, ScramblingGoesByFilePosition) {
    unsigned char key[kArchiveKeySize];
    BuildArchiveKey(nullptr, key);
    Bytes whole(100);
    for (std::size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<unsigned char>(i * 31);
    Bytes scrambled = whole;
    DescrambleArchiveBytes(scrambled.size(), 1000, scrambled.data(), key);
    EXPECT_NE(scrambled, whole);
    // The same bytes read in two pieces at their own positions.
    Bytes pieces = scrambled;
    DescrambleArchiveBytes(37, 1000, pieces.data(), key);
    DescrambleArchiveBytes(63, 1037, pieces.data() + 37, key);
    EXPECT_EQ(pieces, whole);
}

// Hand-made packed streams: a 9-byte header, then items.
Bytes Packed(std::uint32_t unpacked, unsigned char escape, const Bytes& items) {
    Bytes out(9 + items.size());
    for (std::size_t i = 0; i < items.size(); ++i) out[9 + i] = items[i];
    StoreU32(out.data(), unpacked);
    StoreU32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
    out[8] = escape;
    return out;
}

std::string Unpack(const Bytes& packed, std::size_t size, int* result) {
    std::string out(size, '\0');
    *result = UnpackArchiveData(packed.data(), packed.size(), reinterpret_cast<unsigned char*>(out.data()), size);
    return out;
}

TEST(ArchiveUnpack, DecodesEveryItemForm) {
    int result;
    // Distance 1 repeats the latest byte: a run of one byte.
    EXPECT_EQ(Unpack(Packed(11, 0xFF, {'A', 0xFF, (6 << 3) | 0, 0}), 11, &result), "AAAAAAAAAAA");
    EXPECT_EQ(result, 0);
    // The escape byte doubled is a literal escape byte.
    EXPECT_EQ(Unpack(Packed(3, 'E', {'x', 'E', 'E', 'y'}), 3, &result), "xEy");
    EXPECT_EQ(result, 0);
    // A code above the escape is one more than meant: with escape 0x01 the
    // code 0x09 stands for 0x08, length 5 at a one-byte distance.
    EXPECT_EQ(Unpack(Packed(8, 0x01, {'a', 'b', 'c', 0x01, 0x09, 2}), 8, &result), "abcabcab");
    EXPECT_EQ(result, 0);
    // The length byte: ((code >> 3) | byte << 5) + 4 = (1 | 1 << 5) + 4 = 37.
    std::string expected = "z" + std::string(37, 'z');
    EXPECT_EQ(Unpack(Packed(38, 0xFF, {'z', 0xFF, (1 << 3) | 4, 1, 0}), 38, &result), expected);
    EXPECT_EQ(result, 0);
    // A u16 distance and a 24-bit distance.
    {
        Bytes items(300, 'q');
        items[0] = 'S';
        items.insert(items.end(), {0xFF, (0 << 3) | 1, 0x2B, 0x01});  // distance 0x12C = 300
        std::string out = Unpack(Packed(304, 0xFF, items), 304, &result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(out.substr(300), "Sqqq");
    }
    {
        Bytes items(70000, 'r');
        items[0] = 'T';
        items.insert(items.end(), {0xFF, (0 << 3) | 2, 0x6F, 0x11, 0x01});  // 0x1116F + 1 = 70000
        std::string out = Unpack(Packed(70004, 0xFF, items), 70004, &result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(out.substr(70000), "Trrr");
    }
    // No distance field: one more than the previous back-reference's distance.
    // "ab", then length 4 at distance 2, then length 4 at distance 3.
    EXPECT_EQ(Unpack(Packed(11, 0xFF, {'a', 'b', 0xFF, 0 << 3, 1, 0xFF, 0 << 3 | 3, 'c'}), 11, &result),
              "abababbabbc");
    EXPECT_EQ(result, 0);
}

TEST(ArchiveUnpack, RefusesDamageWithoutWritingOutside) {
    int result;
    // A back-reference before the start of the output.
    Unpack(Packed(5, 0xFF, {'a', 0xFF, 0 << 3, 1}), 5, &result);
    EXPECT_EQ(result, -1);
    // A back-reference past the promised size.
    Unpack(Packed(5, 0xFF, {'a', 0xFF, 2 << 3, 0}), 5, &result);
    EXPECT_EQ(result, -1);
    // Items cut short: after the escape, after the code, inside the distance.
    for (const Bytes& items : {Bytes{'a', 0xFF}, Bytes{'a', 0xFF, 4}, Bytes{'a', 0xFF, 1, 0}, Bytes{'a', 0xFF, 2, 0, 0}}) {
        Unpack(Packed(9, 0xFF, items), 9, &result);
        EXPECT_EQ(result, -1);
    }
    // Fewer bytes than promised.
    Unpack(Packed(4, 0xFF, {'a', 'b'}), 4, &result);
    EXPECT_EQ(result, -1);
    // A header that disagrees with the entry, or claims more than was read.
    Unpack(Packed(3, 0xFF, {'a', 'b', 'c'}), 4, &result);
    EXPECT_EQ(result, -1);
    Bytes longer = Packed(3, 0xFF, {'a', 'b', 'c'});
    StoreU32(longer.data() + 4, 100);
    Unpack(longer, 3, &result);
    EXPECT_EQ(result, -1);
    Unpack(Bytes{1, 0, 0, 0}, 1, &result);
    EXPECT_EQ(result, -1);
}

Bytes Sample(int kind, std::size_t size, std::mt19937& random) {
    Bytes data(size);
    switch (kind) {
        case 0: break;  // zeros: the longest references
        case 1:
            for (auto& b : data) b = static_cast<unsigned char>(random());
            break;
        case 2: {
            const std::string words[] = {"stage ", "monster ", "\x95\x5C", "door\n", "bmp\\", "select.wav "};
            std::size_t at = 0;
            while (at < size)
                for (char c : words[random() % 6])
                    if (at < size) data[at++] = static_cast<unsigned char>(c);
            break;
        }
        default: {
            // Random blocks repeated far apart, so every distance form is used.
            for (std::size_t i = 0; i < size; ++i)
                data[i] = i >= 70000 && random() % 8 != 0 ? data[i - 70000 + (i % 3)] : static_cast<unsigned char>(random());
            break;
        }
    }
    return data;
}

TEST(ArchivePack, PackedDataUnpacksToTheOriginal) {
    std::mt19937 random(12345);
    for (int kind = 0; kind < 4; ++kind) {
        for (std::size_t size : {1u, 5u, 40u, 1000u, 9000u, 200000u}) {
            Bytes data = Sample(kind, size, random);
            Bytes packed = PackArchiveData(data.data(), data.size());
            if (packed.empty()) continue;  // kept as it is
            EXPECT_LT(packed.size(), data.size());
            Bytes out(size);
            ASSERT_EQ(UnpackArchiveData(packed.data(), packed.size(), out.data(), size), 0) << kind << " " << size;
            EXPECT_EQ(out, data) << kind << " " << size;
        }
    }
    Bytes zeros(100000);
    Bytes packed = PackArchiveData(zeros.data(), zeros.size());
    EXPECT_LT(packed.size(), 100u);
    std::mt19937 noise(7);
    Bytes noisy = Sample(1, 5000, noise);
    EXPECT_TRUE(PackArchiveData(noisy.data(), noisy.size()).empty());
}

}  // namespace
