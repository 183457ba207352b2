// A small GIF89a writer for looping animations. Qt reads GIF but cannot
// write it, and the program's spinner is an animated GIF.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace imagegen {

// Every frame covers the whole picture and indexes one shared palette.
struct GifAnimation {
    int width = 0;
    int height = 0;
    QList<QRgb> palette;        // 1..256 entries
    int transparentIndex = -1;  // -1: no transparent colour
    int delayCentiseconds = 10; // per frame
    std::vector<std::vector<uint8_t>> frames;
};

// The encoded file, or an empty array when the animation is not well formed
// (no frames, a frame of the wrong size, an index outside the palette).
QByteArray encodeGif(const GifAnimation& animation);

// LZW code stream of one frame's indices as GIF packs it (without the
// sub-block framing), for a code size of minCodeSize bits per pixel.
std::vector<uint8_t> gifLzw(const std::vector<uint8_t>& indices, int minCodeSize);

// Builds an animation from ARGB frames of one size: pixels under half
// coverage become transparent, the rest are laid over `matte` and share a
// palette of at most 255 colours (colour depth is lowered until they fit).
GifAnimation gifFromImages(const QList<QImage>& frames, QRgb matte, int delayCentiseconds);

} // namespace imagegen
