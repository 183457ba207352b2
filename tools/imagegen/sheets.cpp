#include "generator.h"

namespace imagegen {
namespace {

using spritemap::Strip;

const char* const kCategoryGlyphs[8] = {"contacts", "sms",    "calllog", "calendar",
                                        "photos",   "videos", "music",   "apps"};

void drawCategoryLook(QPainter& p, const QRect& r, int category, int look, const Glyphs& glyphs) {
    QColor hue = categoryHue(category);
    QColor wash = hue;
    QColor border = Qt::transparent;
    qreal shift = 0;
    switch (look) {
    case spritemap::Normal:
        wash.setAlphaF(0.12);
        break;
    case spritemap::Highlight:
        wash.setAlphaF(0.20);
        border = hue;
        border.setAlphaF(0.55);
        break;
    case spritemap::Pressed:
        wash.setAlphaF(0.30);
        hue = hue.darker(115);
        shift = 1;
        break;
    default:
        // Not available: no colour at all, a faint glyph and a dashed outline,
        // so it never reads as a normal tile.
        wash = Qt::transparent;
        hue = QColor(0xb4, 0xbf, 0xca);
        border = QColor(0xc4, 0xce, 0xd8);
        break;
    }
    const QRectF tile(r.x() + 8.5, r.y() + 3.5 + shift, 50, 50);
    p.save();
    QPen pen(border, 1.2);
    if (look == spritemap::Disabled)
        pen.setDashPattern({3, 2.5});
    p.setPen(border.alpha() ? pen : QPen(Qt::NoPen));
    p.setBrush(wash);
    p.drawRoundedRect(tile, 12, 12);
    glyphs.draw(p, QString::fromLatin1(kCategoryGlyphs[category]),
                QRectF(tile.center() - QPointF(14, 14), QSizeF(28, 28)), hue);
    p.restore();
}

void drawCloseLook(QPainter& p, const QRect& r, int look, const Glyphs& glyphs) {
    const QColor ink[4] = {colors::kMuted, colors::kInk, colors::kInk, colors::kDisabled};
    const QColor wash[4] = {Qt::transparent, colors::kPrimaryWash, QColor(0xd4, 0xe5, 0xf6),
                            Qt::transparent};
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(wash[look]);
    p.drawEllipse(QRectF(r).adjusted(1, 1, -1, -1));
    glyphs.draw(p, QStringLiteral("close"), QRectF(r).adjusted(6, 6, -6, -6), ink[look]);
    p.restore();
}

void drawIconTile(QPainter& p, const QRectF& r, const QString& glyph, const Glyphs& glyphs) {
    const qreal side = std::min(r.width(), r.height()) - 4;
    const QRectF tile(r.center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colors::kPrimaryWash);
    p.drawEllipse(tile);
    const qreal g = side * 0.55;
    glyphs.draw(p, glyph, QRectF(tile.center() - QPointF(g / 2, g / 2), QSizeF(g, g)),
                colors::kPrimary);
    p.restore();
}

QImage drawMainSheet(const Glyphs& glyphs) {
    namespace m = spritemap::main;
    QImage image = canvas(m::kWidth, m::kHeight);
    QPainter p;
    beginPainter(p, image);
    // Shapes only: the program writes the words and glyphs on them.
    drawButtonStrip(p, m::kBackupToItunes, {{}, {}, Tone::Link, 15}, glyphs);
    drawButtonStrip(p, m::kBackupToPhone, {{}, {}, Tone::Link, 15}, glyphs);
    drawButtonStrip(p, m::kStartCopy, {{}, {}, Tone::Primary, 17}, glyphs);
    drawButtonStrip(p, m::kFlip, {{}, {}, Tone::Outline, 14}, glyphs);
    drawButtonStrip(p, m::kItunesSelect, {{}, {}, Tone::Outline, 14}, glyphs);
    drawMark(p, m::kTitleLogo, glyphs);
    for (int category = 0; category < 8; ++category)
        for (int look = 0; look < 4; ++look)
            drawCategoryLook(p, m::categoryLook(category, look), category, look, glyphs);
    p.end();
    return image;
}

QImage drawPublicSheet(const Glyphs& glyphs) {
    namespace pub = spritemap::pub;
    QImage image = canvas(pub::kWidth, pub::kHeight);
    QPainter p;
    beginPainter(p, image);
    for (int look = 0; look < 4; ++look)
        drawCloseLook(p, pub::kClose.look(look), look, glyphs);
    drawButtonStrip(p, pub::kCancel, {{}, {}, Tone::Outline, 14}, glyphs);
    drawButtonStrip(p, pub::kOk, {{}, {}, Tone::Primary, 14}, glyphs);
    drawIconTile(p, pub::kProgressIcon, QStringLiteral("transfer"), glyphs);
    drawIconTile(p, pub::kDialogIcon, QStringLiteral("phone"), glyphs);
    p.end();
    return image;
}

QImage drawStripPicture(const Strip& s, const ButtonDesign& design, const Glyphs& glyphs) {
    // The margin above the looks is kept below them too.
    QImage image = canvas(s.x + s.w, s.y + 4 * s.step);
    QPainter p;
    beginPainter(p, image);
    drawButtonStrip(p, s, design, glyphs);
    p.end();
    return image;
}

// A button's glyph in white on transparent, which the program tints to the
// colour of the button's words.
QImage drawGlyphMask(const QString& name, const Glyphs& glyphs) {
    QImage image = canvas(24, 24);
    QPainter p;
    beginPainter(p, image);
    glyphs.draw(p, name, QRectF(0, 0, 24, 24), Qt::white);
    p.end();
    return image;
}

} // namespace

void drawMark(QPainter& p, const QRectF& r, const Glyphs& glyphs) {
    p.save();
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, colors::kPrimaryLight);
    g.setColorAt(1, colors::kHeaderEnd);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() * 0.23, r.height() * 0.23);
    const qreal inset = r.width() * 0.17;
    glyphs.draw(p, QStringLiteral("transfer"), r.adjusted(inset, inset, -inset, -inset), Qt::white);
    p.restore();
}

QList<Picture> drawSheets(const Glyphs& glyphs) {
    return {
        {QStringLiteral("main.png"), drawMainSheet(glyphs)},
        {QStringLiteral("publicImage.png"), drawPublicSheet(glyphs)},
        {QStringLiteral("retry.png"),
         drawStripPicture(spritemap::kRetry, {{}, {}, Tone::Primary, 15}, glyphs)},
        {QStringLiteral("opened.png"),
         drawStripPicture(spritemap::kOpenedNext, {{}, {}, Tone::Primary, 15}, glyphs)},
        {QStringLiteral("glyph/backup.png"), drawGlyphMask(QStringLiteral("backup"), glyphs)},
        {QStringLiteral("glyph/phone.png"), drawGlyphMask(QStringLiteral("phone"), glyphs)},
        {QStringLiteral("glyph/flip.png"), drawGlyphMask(QStringLiteral("flip"), glyphs)},
        {QStringLiteral("glyph/folder.png"), drawGlyphMask(QStringLiteral("folder"), glyphs)},
        {QStringLiteral("glyph/retry.png"), drawGlyphMask(QStringLiteral("retry"), glyphs)},
    };
}

} // namespace imagegen
