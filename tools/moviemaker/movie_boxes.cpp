#include "movie_boxes.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
    return std::uint32_t{static_cast<unsigned char>(bytes[at])} << 24 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 1])} << 16 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 2])} << 8 | static_cast<unsigned char>(bytes[at + 3]);
}

void Put32(std::string* out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

void Put16(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value >> 8));
    out->push_back(static_cast<char>(value));
}

// A box of the index: its type, then either its bytes or, for the boxes
// that hold others, the bytes before its children (a sample description's
// fields) and the children.
struct Box {
    std::string type;
    std::string data;
    bool container = false;
    std::vector<Box> children;

    Box* Child(const char* wanted) {
        for (Box& child : children)
            if (child.type == wanted) return &child;
        return nullptr;
    }
    std::string Bytes() const {
        std::string body = data;
        for (const Box& child : children) body += child.Bytes();
        std::string out;
        Put32(&out, static_cast<std::uint32_t>(body.size() + 8));
        return out + type + body;
    }
};

// Bytes before the children of the boxes that hold others.
int ChildrenAt(const std::string& type) {
    for (const char* plain : {"moov", "trak", "edts", "mdia", "minf", "dinf", "stbl"})
        if (type == plain) return 0;
    if (type == "stsd") return 8;    // version, flags and count
    if (type == "avc1") return 78;   // the visual sample entry's fields
    return -1;
}

bool Parse(const std::string& bytes, std::size_t from, std::size_t end, std::vector<Box>* out) {
    while (from < end) {
        if (end - from < 8) return false;
        const std::uint32_t size = Read32(bytes, from);
        if (size < 8 || size > end - from) return false;
        Box box;
        box.type = bytes.substr(from + 4, 4);
        const int childrenAt = ChildrenAt(box.type);
        if (childrenAt >= 0 && size >= 8u + childrenAt) {
            box.container = true;
            box.data = bytes.substr(from + 8, static_cast<std::size_t>(childrenAt));
            if (!Parse(bytes, from + 8 + childrenAt, from + size, &box.children)) return false;
        } else {
            box.data = bytes.substr(from + 8, size - 8);
        }
        out->push_back(std::move(box));
        from += size;
    }
    return true;
}

// The file's index, found after its media data, and where it starts.
struct Index {
    std::size_t at = 0;
    Box moov;
};

bool ReadIndex(const std::string& file, Index* index) {
    bool media = false;
    for (std::size_t at = 0; at + 8 <= file.size();) {
        const std::uint32_t size = Read32(file, at);
        if (size < 8 || size > file.size() - at) return false;
        const std::string type = file.substr(at + 4, 4);
        if (type == "mdat") media = true;
        if (type == "moov") {
            std::vector<Box> boxes;
            if (!media || at + size != file.size() || !Parse(file, at, at + size, &boxes)) return false;
            index->at = at;
            index->moov = std::move(boxes[0]);
            return true;
        }
        at += size;
    }
    return false;
}

void WriteIndex(std::string* file, const Index& index) { *file = file->substr(0, index.at) + index.moov.Bytes(); }

// The sample description of a track: its first entry's box.
Box* SampleEntry(Box& track) {
    Box* mdia = track.Child("mdia");
    Box* minf = mdia != nullptr ? mdia->Child("minf") : nullptr;
    Box* stbl = minf != nullptr ? minf->Child("stbl") : nullptr;
    Box* stsd = stbl != nullptr ? stbl->Child("stsd") : nullptr;
    return stsd != nullptr && !stsd->children.empty() ? &stsd->children[0] : nullptr;
}

bool IsPicture(Box& track) {
    Box* mdia = track.Child("mdia");
    Box* hdlr = mdia != nullptr ? mdia->Child("hdlr") : nullptr;
    return hdlr != nullptr && hdlr->data.size() >= 12 && hdlr->data.substr(8, 4) == "vide";
}

// Bits written most significant first, with the exponential-Golomb codes
// of the parameter sets.
class BitWriter {
public:
    void Bits(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1);
    }
    void Unsigned(std::uint32_t value) {
        const std::uint32_t coded = value + 1;
        int length = 0;
        while ((coded >> length) > 1) ++length;
        Bits(0, length);
        Bits(coded, length + 1);
    }
    // The stop bit, then zeros to a whole byte; three bytes guard against a
    // start code inside.
    std::string Finish() {
        Bit(1);
        while (bits_ != 0) Bit(0);
        std::string out;
        int zeros = 0;
        for (unsigned char byte : bytes_) {
            if (zeros == 2 && byte <= 3) out.push_back(3), zeros = 0;
            out.push_back(static_cast<char>(byte));
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    void Bit(unsigned bit) {
        current_ = static_cast<unsigned char>(current_ << 1 | bit);
        if (++bits_ == 8) bytes_.push_back(current_), bits_ = 0, current_ = 0;
    }
    std::vector<unsigned char> bytes_;
    unsigned char current_ = 0;
    int bits_ = 0;
};

}  // namespace

bool SetMp4EditLists(std::string* file, const std::function<std::vector<Mp4Edit>(const Mp4Track&)>& edits,
                     int version) {
    Index index;
    if (!ReadIndex(*file, &index)) return false;
    Box* mvhd = index.moov.Child("mvhd");
    if (mvhd == nullptr || mvhd->data.size() < 16 || mvhd->data[0] != 0) return false;
    const std::uint32_t movieScale = Read32(mvhd->data, 12);
    for (Box& track : index.moov.children) {
        if (track.type != "trak") continue;
        Box* tkhd = track.Child("tkhd");
        Box* mdia = track.Child("mdia");
        Box* mdhd = mdia != nullptr ? mdia->Child("mdhd") : nullptr;
        if (tkhd == nullptr || tkhd->data.size() < 24 || tkhd->data[0] != 0 || mdhd == nullptr ||
            mdhd->data.size() < 16 || mdhd->data[0] != 0)
            return false;
        Mp4Track info{IsPicture(track), movieScale, Read32(mdhd->data, 12), Read32(tkhd->data, 20), {}};
        Box* oldEdits = track.Child("edts");
        Box* oldList = oldEdits != nullptr ? oldEdits->Child("elst") : nullptr;
        if (oldList != nullptr && oldList->data.size() >= 8 && oldList->data[0] == 0)
            for (std::size_t at = 8; at + 12 <= oldList->data.size(); at += 12)
                info.original.push_back({Read32(oldList->data, at), static_cast<std::int32_t>(Read32(oldList->data, at + 4))});
        const std::vector<Mp4Edit> list = edits(info);
        std::vector<Box> kept;
        for (Box& child : track.children)
            if (child.type != "edts") kept.push_back(std::move(child));
        track.children = std::move(kept);
        if (list.empty()) continue;
        Box elst{"elst", {}, false, {}};
        Put32(&elst.data, static_cast<std::uint32_t>(version) << 24);  // no flags
        Put32(&elst.data, static_cast<std::uint32_t>(list.size()));
        for (const Mp4Edit& edit : list) {
            if (version == 1) Put32(&elst.data, 0);
            Put32(&elst.data, edit.duration);
            if (version == 1) Put32(&elst.data, edit.mediaTime < 0 ? 0xFFFFFFFFu : 0);
            Put32(&elst.data, static_cast<std::uint32_t>(edit.mediaTime));
            Put32(&elst.data, 0x00010000);  // at normal speed
        }
        Box edts{"edts", {}, true, {std::move(elst)}};
        track.children.insert(track.children.begin() + 1, std::move(edts));  // after the track header
    }
    WriteIndex(file, index);
    return true;
}

bool SetMp4H264Sps(std::string* file, const std::string& sps) {
    Index index;
    if (!ReadIndex(*file, &index)) return false;
    for (Box& track : index.moov.children) {
        Box* entry = track.type == "trak" ? SampleEntry(track) : nullptr;
        Box* config = entry != nullptr && entry->type == "avc1" ? entry->Child("avcC") : nullptr;
        // version, profile, compatibility, level, length size, count of
        // sequence parameter sets, then each with its 16-bit length.
        if (config == nullptr || config->data.size() < 8 || (config->data[5] & 0x1F) < 1) continue;
        const std::size_t oldLength = static_cast<std::size_t>(static_cast<unsigned char>(config->data[6]) << 8 |
                                                               static_cast<unsigned char>(config->data[7]));
        if (config->data.size() < 8 + oldLength || sps.size() < 4) return false;
        std::string length;
        Put16(&length, static_cast<std::uint16_t>(sps.size()));
        config->data = config->data.substr(0, 1) + sps.substr(1, 3) + config->data.substr(4, 2) + length + sps +
                       config->data.substr(8 + oldLength);
        WriteIndex(file, index);
        return true;
    }
    return false;
}

std::string H264SequenceParameterSet(int width, int height, int chromaFormat, int bitDepth, int referenceFrames) {
    BitWriter bits;
    bits.Bits(0x67, 8);   // a sequence parameter set
    bits.Bits(244, 8);    // High 4:4:4 Predictive: every chroma format and depth
    bits.Bits(0, 8);      // no constraints
    bits.Bits(62, 8);     // level 6.2
    bits.Unsigned(0);     // its number
    bits.Unsigned(static_cast<std::uint32_t>(chromaFormat));
    if (chromaFormat == 3) bits.Bits(0, 1);  // the planes coded together
    bits.Unsigned(static_cast<std::uint32_t>(bitDepth - 8));  // luma
    bits.Unsigned(static_cast<std::uint32_t>(bitDepth - 8));  // chroma
    bits.Bits(0, 1);      // no lossless bypass
    bits.Bits(0, 1);      // no scaling matrices
    bits.Unsigned(0);     // frame numbers of 4 bits
    bits.Unsigned(2);     // picture order from the frame number
    bits.Unsigned(static_cast<std::uint32_t>(referenceFrames));
    bits.Bits(0, 1);      // no gaps in frame numbers
    bits.Unsigned(static_cast<std::uint32_t>((width + 15) / 16 - 1));
    bits.Unsigned(static_cast<std::uint32_t>((height + 15) / 16 - 1));
    bits.Bits(1, 1);      // frames only
    bits.Bits(1, 1);      // direct 8 x 8 inference
    bits.Bits(0, 1);      // no cropping
    bits.Bits(0, 1);      // no usability information
    return bits.Finish();
}

bool SetMp4AliasReference(std::string* file) {
    Index index;
    if (!ReadIndex(*file, &index)) return false;
    for (Box& track : index.moov.children) {
        if (track.type != "trak" || !IsPicture(track)) continue;
        Box* mdia = track.Child("mdia");
        Box* minf = mdia->Child("minf");
        Box* dinf = minf != nullptr ? minf->Child("dinf") : nullptr;
        Box* dref = dinf != nullptr ? dinf->Child("dref") : nullptr;
        if (dref == nullptr) return false;
        // A Macintosh alias record naming the file by its absolute path:
        // its fixed fields (volume and file names among them), then tagged
        // parts, here the path and the end.
        std::string alias;
        Put32(&alias, 0);  // version 0, not this file
        alias += std::string(10, '\0');
        alias += '\4' + std::string("Disk") + std::string(23, '\0');
        alias += std::string(12, '\0');
        alias += '\11' + std::string("other.mov") + std::string(54, '\0');
        alias += std::string(16, '\0');
        Put16(&alias, 0xFFFF);  // levels from and to: unknown
        Put16(&alias, 0xFFFF);
        alias += std::string(16, '\0');
        const std::string path = "/Disk/other.mov";
        Put16(&alias, 2);  // the absolute path
        Put16(&alias, static_cast<std::uint16_t>(path.size()));
        alias += path + std::string(path.size() % 2, '\0');
        Put16(&alias, 0xFFFF);  // the end
        Put16(&alias, 0);
        Box entry{"alis", alias, false, {}};
        dref->data.clear();
        Put32(&dref->data, 0);
        Put32(&dref->data, 1);
        dref->data += entry.Bytes();
        WriteIndex(file, index);
        return true;
    }
    return false;
}

bool SetInBandH264Sps(std::string* file, const std::string& sps) {
    std::string& bytes = *file;
    const std::string startCode("\0\0\1", 3);
    int replaced = 0;
    for (std::size_t at = bytes.find(startCode); at != std::string::npos; at = bytes.find(startCode, at + 3)) {
        const std::size_t nal = at + 3;
        if (nal >= bytes.size() || (bytes[nal] & 0x1F) != 7) continue;
        std::size_t end = bytes.find(startCode, nal);
        if (end == std::string::npos) return false;
        while (end > nal && bytes[end - 1] == '\0') --end;  // a four-byte start code's zero
        if (end - nal < sps.size()) return false;
        bytes.replace(nal, sps.size(), sps);
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(nal + sps.size()), bytes.begin() + static_cast<std::ptrdiff_t>(end), '\0');
        ++replaced;
    }
    return replaced > 0;
}
