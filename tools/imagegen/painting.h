// Shared drawing helpers of the image generator: the palette, fonts, glyphs
// from the SVG sources, cards and the four looks of a skinned button.
#pragma once

#include "spritemap.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QString>

namespace imagegen {

// One calm palette for every picture.
namespace colors {
inline const QColor kInk{0x1d, 0x3b, 0x57};      // headings
inline const QColor kText{0x4a, 0x60, 0x75};     // body text
inline const QColor kMuted{0x8a, 0x9a, 0xab};    // hints, disabled text
inline const QColor kPage{0xf2, 0xf6, 0xfa};     // window background
inline const QColor kPageDeep{0xe4, 0xeb, 0xf3}; // bottom of the window gradient
inline const QColor kCard{0xff, 0xff, 0xff};
inline const QColor kLine{0xd8, 0xe2, 0xec};   // card borders, separators
inline const QColor kHeader{0x16, 0x32, 0x4f}; // title strip
inline const QColor kHeaderEnd{0x21, 0x4a, 0x70};
inline const QColor kPrimary{0x2a, 0x78, 0xc2}; // buttons, links
inline const QColor kPrimaryLight{0x3f, 0x8e, 0xd8};
inline const QColor kPrimaryDark{0x1f, 0x5f, 0x9c};
inline const QColor kPrimaryWash{0xe6, 0xf0, 0xfa};
inline const QColor kSuccess{0x2f, 0xa3, 0x6b};
inline const QColor kDisabled{0xd3, 0xdb, 0xe3};
inline const QColor kDisabledWash{0xee, 0xf1, 0xf4};
} // namespace colors

// The eight category hues, in checklist order.
QColor categoryHue(int category);

QFont lato(qreal pixelSize, bool bold = false);

// Every picture is drawn twice: at scale 1 and, for dense screens, at scale 2
// ("name@2x.png"). Drawing code works in the picture's logical size; canvas()
// gives the image the current scale as its device pixel ratio.
void setScale(int scale);
int scale();

// A transparent (or filled) ARGB picture of w x h logical pixels.
QImage canvas(int w, int h, const QColor& fill = Qt::transparent);

// A painter with antialiasing for shapes, text and pictures.
void beginPainter(QPainter& p, QImage& image);

class Glyphs {
  public:
    explicit Glyphs(const QString& svgDir) : m_dir(svgDir) {}
    // Draws the named SVG glyph into box, in one colour. Returns false
    // (drawing nothing) when the source is missing or unreadable.
    bool draw(QPainter& p, const QString& name, const QRectF& box, const QColor& color) const;
    bool allFound() const { return m_missing.isEmpty(); }
    QStringList missing() const { return m_missing; }

  private:
    QString m_dir;
    mutable QHash<QString, QByteArray> m_cache;
    mutable QStringList m_missing;
};

// A white card with a hairline border and a soft shadow.
void drawCard(QPainter& p, const QRectF& r, qreal radius, const QColor& fill = colors::kCard);

using spritemap::Tone;

struct ButtonDesign {
    QString text;
    QString glyph; // empty: text only
    Tone tone = Tone::Primary;
    qreal textSize = 15;
};

// Draws one look (spritemap::Look) of a button filling r.
void drawButtonLook(QPainter& p, const QRect& r, const ButtonDesign& design, int look,
                    const Glyphs& glyphs);

// Draws all four looks of a strip.
void drawButtonStrip(QPainter& p, const spritemap::Strip& s, const ButtonDesign& design,
                     const Glyphs& glyphs);

// Text wrapped into box, left aligned, returning the height used.
qreal drawParagraph(QPainter& p, const QRectF& box, const QString& text, const QFont& font,
                    const QColor& color);

} // namespace imagegen
