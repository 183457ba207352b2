#include "generator.h"

#include <QPainterPath>
#include <QtMath>

namespace imagegen {
namespace {

QPainterPath tickPath(const QRectF& r) {
    QPainterPath path;
    path.moveTo(r.x() + r.width() * 0.22, r.y() + r.height() * 0.53);
    path.lineTo(r.x() + r.width() * 0.42, r.y() + r.height() * 0.72);
    path.lineTo(r.x() + r.width() * 0.78, r.y() + r.height() * 0.32);
    return path;
}

void strokeTick(QPainter& p, const QRectF& r, const QColor& color, qreal width) {
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tickPath(r));
}

// A 15 x 15 box of the backup list: looks normal, hover, pressed, disabled.
QImage drawBox(bool checked, int look) {
    using namespace colors;
    QImage image = canvas(15, 15);
    QPainter p;
    beginPainter(p, image);
    const QRectF box(0.5, 0.5, 14, 14);
    if (checked) {
        const QColor fill[4] = {kPrimary, kPrimaryLight, kPrimaryDark, kDisabled};
        p.setPen(Qt::NoPen);
        p.setBrush(fill[look]);
        p.drawRoundedRect(box, 3.5, 3.5);
        strokeTick(p, box, Qt::white, 1.8);
    } else {
        const QColor border[4] = {QColor(0xa9, 0xbb, 0xcc), kPrimaryLight, kPrimary, kDisabled};
        const QColor fill[4] = {kCard, kCard, kPrimaryWash, kDisabledWash};
        p.setPen(QPen(border[look], 1));
        p.setBrush(fill[look]);
        p.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    p.end();
    return image;
}

} // namespace

QList<Picture> drawChecks() {
    QList<Picture> out;
    for (int look = 0; look < 4; ++look) {
        out.append({QStringLiteral("check/checked%1.png").arg(look + 1), drawBox(true, look)});
        out.append({QStringLiteral("check/uncheck%1.png").arg(look + 1), drawBox(false, look)});
    }
    // The tick of a category tile: a round green badge.
    QImage tick = canvas(20, 20);
    QPainter p;
    beginPainter(p, tick);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(colors::kSuccess);
    p.drawEllipse(QRectF(1, 1, 18, 18));
    strokeTick(p, QRectF(2, 2, 16, 16), Qt::white, 2);
    p.end();
    out.append({QStringLiteral("check/checked.png"), tick});
    return out;
}

QList<QImage> spinnerFrames() {
    // The size of the progress rows' spinner labels, so it is never stretched.
    constexpr int kDots = 12;
    constexpr int kWidth = 30;
    constexpr int kHeight = 23;
    QList<QImage> frames;
    for (int frame = 0; frame < kDots; ++frame) {
        QImage image = canvas(kWidth, kHeight);
        QPainter p;
        beginPainter(p, image);
        p.setPen(Qt::NoPen);
        for (int dot = 0; dot < kDots; ++dot) {
            // The head dot is solid and the ones behind it fade towards white.
            // The dots stay opaque: GIF keeps only on/off transparency.
            const int age = (frame - dot + kDots) % kDots;
            const qreal t = std::max(0.18, 1.0 - age * 0.11);
            const QColor& ink = colors::kPrimary;
            const QColor c = QColor::fromRgbF(1 - t * (1 - ink.redF()), 1 - t * (1 - ink.greenF()),
                                              1 - t * (1 - ink.blueF()));
            const qreal angle = 2 * M_PI * dot / kDots - M_PI / 2;
            const QPointF centre(kWidth / 2.0 + 8 * std::cos(angle),
                                 kHeight / 2.0 + 8 * std::sin(angle));
            p.setBrush(c);
            const qreal radius = age == 0 ? 2.4 : 2.0;
            p.drawEllipse(centre, radius, radius);
        }
        p.end();
        frames.append(image);
    }
    return frames;
}

} // namespace imagegen
