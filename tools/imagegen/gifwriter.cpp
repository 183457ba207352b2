#include "gifwriter.h"

#include <QHash>

#include <algorithm>
#include <unordered_map>

namespace imagegen {
namespace {

constexpr int kMaxCodes = 4095; // the table is restarted before it would overflow 12 bits

class BitPacker {
  public:
    explicit BitPacker(std::vector<uint8_t>& out) : m_out(out) {}
    void put(int code, int bits) {
        m_acc |= uint32_t(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_out.push_back(uint8_t(m_acc & 0xff));
            m_acc >>= 8;
            m_count -= 8;
        }
    }
    void flush() {
        if (m_count > 0)
            m_out.push_back(uint8_t(m_acc & 0xff));
        m_acc = 0;
        m_count = 0;
    }

  private:
    std::vector<uint8_t>& m_out;
    uint32_t m_acc = 0;
    int m_count = 0;
};

void putLe16(QByteArray& out, int value) {
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

int bitsFor(int count) {
    int bits = 1;
    while ((1 << bits) < count)
        ++bits;
    return bits;
}

// Sub-blocks of at most 255 bytes, closed by an empty block.
void putSubBlocks(QByteArray& out, const std::vector<uint8_t>& data) {
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        out.append(char(n));
        out.append(reinterpret_cast<const char*>(data.data() + at), qsizetype(n));
    }
    out.append(char(0));
}

bool wellFormed(const GifAnimation& a) {
    if (a.width < 1 || a.height < 1 || a.width > 0xffff || a.height > 0xffff)
        return false;
    if (a.palette.isEmpty() || a.palette.size() > 256 || a.frames.empty())
        return false;
    if (a.transparentIndex >= a.palette.size())
        return false;
    const size_t pixels = size_t(a.width) * size_t(a.height);
    for (const auto& frame : a.frames) {
        if (frame.size() != pixels)
            return false;
        for (uint8_t index : frame)
            if (index >= a.palette.size())
                return false;
    }
    return true;
}

void putFrame(QByteArray& out, const GifAnimation& a, const std::vector<uint8_t>& frame,
              int minCodeSize) {
    // Graphic control: restore to the (transparent) background after each
    // frame, so a pixel left empty by the next frame does not keep old ink.
    const bool transparent = a.transparentIndex >= 0;
    out.append("\x21\xf9\x04", 3);
    out.append(char((2 << 2) | (transparent ? 1 : 0)));
    putLe16(out, a.delayCentiseconds);
    out.append(char(transparent ? a.transparentIndex : 0));
    out.append(char(0));
    out.append(char(0x2c));
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, a.width);
    putLe16(out, a.height);
    out.append(char(0));
    out.append(char(minCodeSize));
    putSubBlocks(out, gifLzw(frame, minCodeSize));
}

} // namespace

std::vector<uint8_t> gifLzw(const std::vector<uint8_t>& indices, int minCodeSize) {
    std::vector<uint8_t> out;
    BitPacker packer(out);
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int codeSize = minCodeSize + 1;
    int next = end + 1;
    std::unordered_map<uint32_t, int> table;
    table.reserve(kMaxCodes);

    packer.put(clear, codeSize);
    if (indices.empty()) {
        packer.put(end, codeSize);
        packer.flush();
        return out;
    }
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
        const uint32_t key = (uint32_t(prefix) << 8) | indices[i];
        if (auto hit = table.find(key); hit != table.end()) {
            prefix = hit->second;
            continue;
        }
        packer.put(prefix, codeSize);
        if (next >= kMaxCodes) {
            packer.put(clear, codeSize);
            table.clear();
            codeSize = minCodeSize + 1;
            next = end + 1;
        } else {
            table.emplace(key, next++);
            // The reader widens its codes as soon as its table reaches the
            // next power of two; it adds one entry per code it reads.
            if (next > (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        prefix = indices[i];
    }
    packer.put(prefix, codeSize);
    // The reader counts an entry for this last code too before it reads the end.
    if (next >= (1 << codeSize) && codeSize < 12)
        ++codeSize;
    packer.put(end, codeSize);
    packer.flush();
    return out;
}

QByteArray encodeGif(const GifAnimation& a) {
    if (!wellFormed(a))
        return {};
    const int tableBits = bitsFor(int(a.palette.size()));
    const int minCodeSize = std::max(2, tableBits);
    QByteArray out("GIF89a");
    putLe16(out, a.width);
    putLe16(out, a.height);
    out.append(char(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
    out.append(char(a.transparentIndex >= 0 ? a.transparentIndex : 0));
    out.append(char(0));
    for (int i = 0; i < (1 << tableBits); ++i) {
        const QRgb c = i < a.palette.size() ? a.palette[i] : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    // Loop forever.
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const auto& frame : a.frames)
        putFrame(out, a, frame, minCodeSize);
    out.append(char(0x3b));
    return out;
}

namespace {

QRgb overMatte(QRgb c, QRgb matte) {
    const int a = qAlpha(c);
    auto mix = [a](int fg, int bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(c), qRed(matte)), mix(qGreen(c), qGreen(matte)),
                mix(qBlue(c), qBlue(matte)));
}

QRgb reduce(QRgb c, int shift) {
    if (shift == 0)
        return c;
    const int half = 1 << (shift - 1);
    auto q = [shift, half](int v) { return std::min(255, ((v >> shift) << shift) + half); };
    return qRgb(q(qRed(c)), q(qGreen(c)), q(qBlue(c)));
}

} // namespace

GifAnimation gifFromImages(const QList<QImage>& frames, QRgb matte, int delayCentiseconds) {
    GifAnimation a;
    if (frames.isEmpty())
        return a;
    a.width = frames.first().width();
    a.height = frames.first().height();
    a.delayCentiseconds = delayCentiseconds;
    QList<QImage> argb;
    for (const QImage& f : frames) {
        if (f.size() != frames.first().size())
            return GifAnimation{};
        argb.append(f.convertToFormat(QImage::Format_ARGB32));
    }
    // Lower the colour depth until the solid colours fit beside the
    // transparent entry.
    QHash<QRgb, int> index;
    for (int shift = 0; shift <= 8; ++shift) {
        index.clear();
        for (const QImage& f : argb)
            for (int y = 0; y < f.height(); ++y) {
                const QRgb* line = reinterpret_cast<const QRgb*>(f.constScanLine(y));
                for (int x = 0; x < f.width(); ++x)
                    if (qAlpha(line[x]) >= 128)
                        index.insert(reduce(overMatte(line[x], matte), shift), 0);
            }
        if (index.size() <= 255) {
            a.palette.append(matte);
            a.transparentIndex = 0;
            for (auto it = index.begin(); it != index.end(); ++it) {
                it.value() = int(a.palette.size());
                a.palette.append(it.key());
            }
            for (const QImage& f : argb) {
                std::vector<uint8_t> pixels;
                pixels.reserve(size_t(a.width) * size_t(a.height));
                for (int y = 0; y < f.height(); ++y) {
                    const QRgb* line = reinterpret_cast<const QRgb*>(f.constScanLine(y));
                    for (int x = 0; x < f.width(); ++x)
                        pixels.push_back(
                            qAlpha(line[x]) < 128
                                ? 0
                                : uint8_t(index.value(reduce(overMatte(line[x], matte), shift))));
                }
                a.frames.push_back(std::move(pixels));
            }
            return a;
        }
    }
    return GifAnimation{};
}

} // namespace imagegen
