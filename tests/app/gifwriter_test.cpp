// The GIF writer, checked by reading its output back with Qt's GIF reader.
#include "gifwriter.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <gtest/gtest.h>

#include <random>

using imagegen::GifAnimation;

namespace {

QList<QImage> decode(const QByteArray& gif) {
    QBuffer buffer;
    buffer.setData(gif);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    QList<QImage> frames;
    for (QImage frame; reader.read(&frame);)
        frames.append(frame.convertToFormat(QImage::Format_ARGB32));
    return frames;
}

GifAnimation noise(int w, int h, int colours, unsigned seed) {
    GifAnimation a;
    a.width = w;
    a.height = h;
    for (int i = 0; i < colours; ++i)
        a.palette.append(qRgb(i * 37 % 256, i * 91 % 256, 255 - i));
    std::mt19937 rng(seed);
    std::vector<uint8_t> pixels(size_t(w) * size_t(h));
    for (auto& p : pixels)
        p = uint8_t(rng() % unsigned(colours));
    a.frames.push_back(pixels);
    return a;
}

void expectSameAsDecoded(const GifAnimation& a) {
    const QList<QImage> frames = decode(imagegen::encodeGif(a));
    ASSERT_EQ(frames.size(), qsizetype(a.frames.size()));
    for (size_t f = 0; f < a.frames.size(); ++f)
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const uint8_t index = a.frames[f][size_t(y) * size_t(a.width) + size_t(x)];
                const QRgb got = frames[qsizetype(f)].pixel(x, y);
                if (index == a.transparentIndex)
                    ASSERT_EQ(qAlpha(got), 0) << "frame " << f << " at " << x << "," << y;
                else
                    ASSERT_EQ(got, a.palette[index] | 0xff000000u)
                        << "frame " << f << " at " << x << "," << y;
            }
}

TEST(GifWriter, PixelExactAcrossPaletteSizesAndTableRestarts) {
    // Random pixels of a full palette fill the 4096-entry table many times over.
    expectSameAsDecoded(noise(160, 120, 256, 1));
    expectSameAsDecoded(noise(97, 33, 3, 2)); // palette size that is not a power of two
    expectSameAsDecoded(noise(64, 64, 2, 3));
    expectSameAsDecoded(noise(1, 1, 1, 4));
    // Long runs of one colour grow long table entries instead.
    GifAnimation flat = noise(300, 200, 16, 5);
    std::fill(flat.frames[0].begin(), flat.frames[0].begin() + 50000, uint8_t(7));
    expectSameAsDecoded(flat);
}

TEST(GifWriter, FramesLoopAndClearWhatTheNextFrameLeavesEmpty) {
    GifAnimation a = noise(8, 8, 4, 6);
    a.transparentIndex = 0;
    a.frames[0].assign(64, 1);
    a.frames.push_back(std::vector<uint8_t>(64, 0)); // all transparent
    a.frames.push_back(std::vector<uint8_t>(64, 2));
    const QByteArray gif = imagegen::encodeGif(a);
    expectSameAsDecoded(a);
    QBuffer buffer;
    buffer.setData(gif);
    QImageReader reader(&buffer, "gif");
    EXPECT_EQ(reader.loopCount(), -1); // forever
}

TEST(GifWriter, RefusesMalformedAnimations) {
    GifAnimation ok = noise(4, 4, 4, 7);
    ASSERT_FALSE(imagegen::encodeGif(ok).isEmpty());

    GifAnimation noFrames = ok;
    noFrames.frames.clear();
    GifAnimation shortFrame = ok;
    shortFrame.frames[0].pop_back();
    GifAnimation badIndex = ok;
    badIndex.frames[0][3] = 4;
    GifAnimation bigPalette = ok;
    bigPalette.palette.resize(257);
    GifAnimation badTransparent = ok;
    badTransparent.transparentIndex = 4;
    for (const GifAnimation* a : {&noFrames, &shortFrame, &badIndex, &bigPalette, &badTransparent})
        EXPECT_TRUE(imagegen::encodeGif(*a).isEmpty());
}

TEST(GifWriter, ImagesWithManyColoursAreReducedToOnePalette) {
    QList<QImage> frames;
    for (int f = 0; f < 3; ++f) {
        QImage image(40, 40, QImage::Format_ARGB32);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                image.setPixel(x, y, x < 4 ? qRgba(0, 0, 0, 0) : qRgb(x * 6, y * 6, f * 80));
        frames.append(image);
    }
    const GifAnimation a = imagegen::gifFromImages(frames, qRgb(255, 255, 255), 5);
    ASSERT_EQ(a.frames.size(), 3u);
    EXPECT_LE(a.palette.size(), 256);
    const QList<QImage> back = decode(imagegen::encodeGif(a));
    ASSERT_EQ(back.size(), 3);
    EXPECT_EQ(qAlpha(back[1].pixel(2, 10)), 0);
    const QRgb got = back[2].pixel(30, 20);
    EXPECT_NEAR(qRed(got), 180, 16);
    EXPECT_NEAR(qGreen(got), 120, 16);
    EXPECT_NEAR(qBlue(got), 160, 16);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
