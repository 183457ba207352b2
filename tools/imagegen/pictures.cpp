#include "generator.h"

#include <QFontMetricsF>
#include <QPainterPath>

namespace imagegen {
namespace {

// Pane cards of the main window, in window coordinates (the body starts 52 px down).
const QRectF kSourceCard(55, 112, 345, 405);
const QRectF kDestinationCard(600, 112, 345, 405);

// The window's page gradient as seen through a rectangle whose top sits at
// windowY in the window.
QLinearGradient windowPageGradient(qreal windowY) {
    QLinearGradient page(0, 52 - windowY, 0, 650 - windowY);
    page.setColorAt(0, colors::kPage);
    page.setColorAt(1, colors::kPageDeep);
    return page;
}

QImage drawWindowBackground(const Glyphs& glyphs) {
    QImage image = canvas(1000, 650);
    QPainter p;
    beginPainter(p, image);
    p.fillRect(QRect(0, 0, 1000, 650), windowPageGradient(0));

    QLinearGradient header(0, 0, 1000, 0);
    header.setColorAt(0, colors::kHeader);
    header.setColorAt(1, colors::kHeaderEnd);
    p.fillRect(QRect(0, 0, 1000, 52), header);
    // The program's name and its line beside the mark are live text.
    drawMark(p, QRectF(16, 8, 36, 36), glyphs);

    drawCard(p, kSourceCard, 14);
    drawCard(p, kDestinationCard, 14);
    // A dotted path from the source card to the destination, between the
    // Flip button (y 260..298) and Start copy (y 342..387).
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xb8, 0xcb, 0xde));
    for (int x = 414; x <= 580; x += 10)
        p.drawEllipse(QPointF(x, 320), 1.8, 1.8);
    QPainterPath head;
    head.moveTo(582, 315);
    head.lineTo(590, 320);
    head.lineTo(582, 325);
    head.closeSubpath();
    p.drawPath(head);
    p.end();
    return image;
}

// A phone in its case with a few app tiles on the screen.
void drawPhone(QPainter& p, const QRectF& r) {
    p.save();
    const qreal radius = r.width() * 0.14;
    QLinearGradient frame(r.topLeft(), r.bottomRight());
    frame.setColorAt(0, QColor(0x2b, 0x45, 0x61));
    frame.setColorAt(1, colors::kHeader);
    p.setPen(Qt::NoPen);
    p.setBrush(frame);
    p.drawRoundedRect(r, radius, radius);
    const qreal bezel = r.width() * 0.06;
    const QRectF screen = r.adjusted(bezel, bezel * 2.6, -bezel, -bezel * 2.6);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(0xea, 0xf3, 0xfc));
    glass.setColorAt(1, QColor(0xcd, 0xe1, 0xf4));
    p.setBrush(glass);
    p.drawRoundedRect(screen, radius * 0.45, radius * 0.45);
    p.setBrush(QColor(0x4a, 0x63, 0x7e));
    const qreal slot = r.width() * 0.22;
    p.drawRoundedRect(QRectF(r.center().x() - slot / 2, r.y() + bezel * 1.1, slot, bezel * 0.5), 2,
                      2);
    p.drawRoundedRect(
        QRectF(r.center().x() - slot / 2, r.bottom() - bezel * 1.6, slot, bezel * 0.45), 2, 2);
    // Two rows of three app tiles in the category hues.
    const qreal cell = screen.width() / 3.0;
    const qreal tile = cell * 0.58;
    for (int i = 0; i < 6; ++i) {
        const QPointF c(screen.x() + cell * (i % 3 + 0.5),
                        screen.y() + screen.height() * 0.22 + (i / 3) * cell);
        QColor hue = categoryHue(i);
        p.setBrush(hue);
        p.drawRoundedRect(QRectF(c - QPointF(tile / 2, tile / 2), QSizeF(tile, tile)), tile * 0.26,
                          tile * 0.26);
    }
    p.restore();
}

QImage drawDevicePicture() {
    QImage image = canvas(179, 270);
    QPainter p;
    beginPainter(p, image);
    // Clear of the picture's bottom edge, where the "connected" mark and the
    // waiting message sit.
    drawPhone(p, QRectF(19.5, 4, 140, 250));
    p.end();
    return image;
}

QImage drawConnectedMark() {
    QImage image = canvas(105, 21);
    QPainter p;
    beginPainter(p, image);
    p.setPen(QPen(QColor(0x9f, 0xd9, 0xbb), 1));
    p.setBrush(QColor(0xe4, 0xf5, 0xec));
    p.drawRoundedRect(QRectF(0.5, 0.5, 104, 20), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(colors::kSuccess);
    p.drawEllipse(QPointF(17, 10.5), 3.5, 3.5);
    // The word beside the dot is live text.
    p.end();
    return image;
}

// A guidance page placed at windowY in the window: a card (its words are
// live text laid over it) and, below the card, the window's own background,
// where the page's buttons sit.
void drawGuidance(QPainter& p, qreal windowY) {
    p.fillRect(QRect(0, 0, 929, 490), windowPageGradient(windowY));
    drawCard(p, QRectF(8, 6, 913, 424), 14);
}

// The phone of a guidance page with a screen drawn by `screen`.
template <typename ScreenFn> void drawGuidancePhone(QPainter& p, ScreenFn screen) {
    const QRectF body(655, 40, 200, 370);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colors::kHeader);
    p.drawRoundedRect(body, 28, 28);
    const QRectF glass = body.adjusted(11, 26, -11, -26);
    p.setBrush(Qt::white);
    p.drawRoundedRect(glass, 12, 12);
    p.setClipRect(glass);
    screen(glass);
    p.restore();
}

// A settings row whose label is live text.
void drawToggleRow(QPainter& p, const QRectF& row, bool on, bool focus) {
    if (focus)
        p.fillRect(row, colors::kPrimaryWash);
    const QRectF track(row.right() - 44, row.center().y() - 8, 32, 16);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? colors::kPrimary : colors::kDisabled);
    p.drawRoundedRect(track, 8, 8);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(on ? track.right() - 8 : track.left() + 8, track.center().y()), 6, 6);
    p.setPen(QPen(colors::kLine, 1));
    p.drawLine(row.bottomLeft(), row.bottomRight());
}

QImage drawDebuggingPage() {
    QImage image = canvas(929, 490);
    QPainter p;
    beginPainter(p, image);
    // The window centres the page 25 px below its middle: (650 - 490) / 2 + 25.
    drawGuidance(p, 105);
    drawGuidancePhone(p, [&p](const QRectF& glass) {
        p.fillRect(QRectF(glass.x(), glass.y(), glass.width(), 44), colors::kHeaderEnd);
        for (int i = 0; i < 4; ++i)
            drawToggleRow(p, QRectF(glass.x(), glass.y() + 60 + i * 46, glass.width(), 46), i == 1,
                          i == 1);
    });
    p.end();
    return image;
}

QImage drawAuthorisationPage() {
    QImage image = canvas(929, 490);
    QPainter p;
    beginPainter(p, image);
    drawGuidance(p, (650 - 490) / 2);
    drawGuidancePhone(p, [&p](const QRectF& glass) {
        p.fillRect(glass, QColor(0x5b, 0x6f, 0x84));
        const QRectF box(glass.x() + 10, glass.y() + 80, glass.width() - 20, 170);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(box, 10, 10);
        p.setPen(QPen(colors::kPrimary, 1.2));
        p.setBrush(colors::kPrimary);
        const QRectF tickBox(box.x() + 12, box.y() + 86, 12, 12);
        p.drawRoundedRect(tickBox, 2, 2);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(
            QPolygonF({tickBox.topLeft() + QPointF(2.5, 6.2), tickBox.topLeft() + QPointF(5, 8.7),
                       tickBox.topLeft() + QPointF(9.5, 3.5)}));
    });
    p.end();
    return image;
}

// A panel with a top accent, white body and a tinted footer from footerTop down.
QImage drawPanel(int w, int h, int footerTop) {
    QImage image = canvas(w, h, colors::kCard);
    QPainter p;
    beginPainter(p, image);
    p.fillRect(QRect(0, footerTop, w, h - footerTop), colors::kPage);
    p.setPen(QPen(colors::kLine, 1));
    p.drawLine(QPointF(0, footerTop + 0.5), QPointF(w, footerTop + 0.5));
    p.fillRect(QRect(0, 0, w, 4), colors::kPrimary);
    p.setPen(QPen(colors::kLine, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    p.end();
    return image;
}

QImage drawProgressBackground() {
    QImage image = drawPanel(780, 481, 398);
    QPainter p;
    beginPainter(p, image);
    p.setPen(QPen(colors::kLine, 1));
    p.drawLine(QPointF(16, 54.5), QPointF(764, 54.5));
    p.end();
    return image;
}

// The link's ground, under its live words: clear, or a faint wash while the
// pointer is on it.
QImage drawLink(bool highlighted) {
    return canvas(160, 20, highlighted ? colors::kPrimaryWash : QColor(Qt::transparent));
}

QImage drawArrowDown() {
    QImage image = canvas(12, 8);
    QPainter p;
    beginPainter(p, image);
    p.setPen(QPen(colors::kText, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(1.5, 2), QPointF(6, 6), QPointF(10.5, 2)}));
    p.end();
    return image;
}

QImage drawProgramIcon(const Glyphs& glyphs) {
    QImage image = canvas(256, 256);
    QPainter p;
    beginPainter(p, image);
    drawMark(p, QRectF(16, 16, 224, 224), glyphs);
    p.end();
    return image;
}

} // namespace

QList<Picture> drawPictures(const Glyphs& glyphs) {
    return {
        {QStringLiteral("tsf.png"), drawWindowBackground(glyphs)},
        {QStringLiteral("connectddevice.png"), drawDevicePicture()},
        {QStringLiteral("Connected.png"), drawConnectedMark()},
        {QStringLiteral("Setp11.png"), drawDebuggingPage()},
        {QStringLiteral("note-pic2.png"), drawAuthorisationPage()},
        {QStringLiteral("BackupProgress.png"), drawProgressBackground()},
        {QStringLiteral("alldialog.png"), drawPanel(509, 250, 148)},
        {QStringLiteral("debugnofound/1.png"), drawLink(false)},
        {QStringLiteral("debugnofound/2.png"), drawLink(true)},
        {QStringLiteral("arrowDown.png"), drawArrowDown()},
        {QStringLiteral("program.png"), drawProgramIcon(glyphs)},
    };
}

} // namespace imagegen
