#include "painting.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTextLayout>

namespace imagegen {

QColor categoryHue(int category) {
    static const QColor hues[8] = {
        {0x2a, 0x78, 0xc2}, // contacts
        {0x2f, 0xa3, 0x6b}, // messages
        {0x17, 0x9a, 0x9c}, // call logs
        {0xd9, 0x5f, 0x4e}, // calendar
        {0xe0, 0x95, 0x2a}, // photos
        {0x7e, 0x62, 0xc9}, // videos
        {0xcc, 0x4f, 0x8c}, // music
        {0x43, 0x55, 0xd1}, // apps
    };
    return hues[category & 7];
}

QFont lato(qreal pixelSize, bool bold) {
    QFont f(QStringLiteral("Lato"));
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

namespace {
int g_scale = 1;
} // namespace

void setScale(int scale) { g_scale = scale < 1 ? 1 : scale; }
int scale() { return g_scale; }

QImage canvas(int w, int h, const QColor& fill) {
    QImage image(w * g_scale, h * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(fill);
    return image;
}

void beginPainter(QPainter& p, QImage& image) {
    p.begin(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                     QPainter::SmoothPixmapTransform);
}

bool Glyphs::draw(QPainter& p, const QString& name, const QRectF& box, const QColor& color) const {
    auto it = m_cache.find(name);
    if (it == m_cache.end()) {
        QFile file(m_dir + QLatin1Char('/') + name + QStringLiteral(".svg"));
        QByteArray data;
        if (file.open(QIODevice::ReadOnly))
            data = file.readAll();
        it = m_cache.insert(name, data);
    }
    QSvgRenderer renderer(it.value());
    if (!renderer.isValid()) {
        if (!m_missing.contains(name))
            m_missing.append(name);
        return false;
    }
    // Render black at four times the target's pixel size, then tint and scale
    // down: thin strokes stay crisp and the colour stays exact.
    const qreal dpr = p.device() ? p.device()->devicePixelRatio() : 1.0;
    const QSize pixels = (box.size() * dpr).toSize();
    const QSize size = pixels * 4;
    QImage ink(size, QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    {
        QPainter ip(&ink);
        ip.setRenderHint(QPainter::Antialiasing);
        renderer.render(&ip, QRectF(QPointF(0, 0), QSizeF(size)));
        ip.setCompositionMode(QPainter::CompositionMode_SourceIn);
        ip.fillRect(ink.rect(), color);
    }
    p.drawImage(box, ink.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return true;
}

void drawCard(QPainter& p, const QRectF& r, qreal radius, const QColor& fill) {
    p.save();
    p.setPen(Qt::NoPen);
    // Shadow: a few widening, fading outlines below the card.
    for (int i = 6; i >= 1; --i) {
        QColor shade(0x16, 0x32, 0x4f, 5 + (6 - i) * 2);
        p.setBrush(shade);
        p.drawRoundedRect(r.adjusted(-i, -i + 3, i, i + 3), radius + i, radius + i);
    }
    p.setBrush(fill);
    p.setPen(QPen(colors::kLine, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

namespace {

struct LookColors {
    QColor fill;
    QColor border;
    QColor text;
};

LookColors lookColors(Tone tone, int look) {
    using namespace colors;
    if (look == spritemap::Disabled)
        return tone == Tone::Link ? LookColors{Qt::transparent, Qt::transparent, kMuted}
                                  : LookColors{kDisabledWash, kDisabled, kMuted};
    switch (tone) {
    case Tone::Primary: {
        const QColor fill[3] = {kPrimary, kPrimaryLight, kPrimaryDark};
        return {fill[look], fill[look], QColor::fromRgba(spritemap::captionRgb(tone, look))};
    }
    case Tone::Outline: {
        const QColor fill[3] = {kCard, kPrimaryWash, QColor(0xd4, 0xe5, 0xf6)};
        const QColor border[3] = {QColor(0xb8, 0xcb, 0xde), kPrimaryLight, kPrimary};
        return {fill[look], border[look], QColor::fromRgba(spritemap::captionRgb(tone, look))};
    }
    case Tone::Link: {
        const QColor fill[3] = {Qt::transparent, QColor(0x2a, 0x78, 0xc2, 18),
                                QColor(0x2a, 0x78, 0xc2, 36)};
        return {fill[look], Qt::transparent, QColor::fromRgba(spritemap::captionRgb(tone, look))};
    }
    }
    return {};
}

} // namespace

void drawButtonLook(QPainter& p, const QRect& r, const ButtonDesign& design, int look,
                    const Glyphs& glyphs) {
    const LookColors c = lookColors(design.tone, look);
    p.save();
    p.setClipRect(r);
    const QRectF body = QRectF(r).adjusted(1, 1, -1, -1);
    const qreal radius = std::min<qreal>(8, body.height() / 2);
    if (design.tone == Tone::Primary && look != spritemap::Disabled) {
        // A faint lighter top edge gives the filled buttons some depth.
        QLinearGradient g(body.topLeft(), body.bottomLeft());
        g.setColorAt(0, c.fill.lighter(108));
        g.setColorAt(1, c.fill);
        p.setBrush(g);
    } else {
        p.setBrush(c.fill);
    }
    p.setPen(c.border.alpha() ? QPen(c.border, 1) : QPen(Qt::NoPen));
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    const QFont font = lato(design.textSize, design.tone != Tone::Link);
    const QFontMetricsF fm(font);
    const qreal glyphSize = design.glyph.isEmpty() ? 0 : std::round(design.textSize * 1.25);
    const qreal gap = design.glyph.isEmpty() || design.text.isEmpty() ? 0 : 8;
    const qreal width = glyphSize + gap + fm.horizontalAdvance(design.text);
    const qreal shift = look == spritemap::Pressed ? 1 : 0;
    qreal x = r.x() + (r.width() - width) / 2;
    const qreal mid = r.y() + r.height() / 2.0 + shift;
    if (glyphSize > 0) {
        glyphs.draw(p, design.glyph, QRectF(x, mid - glyphSize / 2, glyphSize, glyphSize), c.text);
        x += glyphSize + gap;
    }
    p.setFont(font);
    p.setPen(c.text);
    p.drawText(QPointF(x, mid + (fm.ascent() - fm.descent()) / 2), design.text);
    p.restore();
}

void drawButtonStrip(QPainter& p, const spritemap::Strip& s, const ButtonDesign& design,
                     const Glyphs& glyphs) {
    for (int look = 0; look < 4; ++look)
        drawButtonLook(p, s.look(look), design, look, glyphs);
}

qreal drawParagraph(QPainter& p, const QRectF& box, const QString& text, const QFont& font,
                    const QColor& color) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    const qreal leading = QFontMetricsF(font).height() * 0.35;
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        line.setPosition(QPointF(0, y));
        y += line.height() + leading;
    }
    layout.endLayout();
    p.save();
    p.setPen(color);
    layout.draw(&p, box.topLeft());
    p.restore();
    return y - leading;
}

} // namespace imagegen
