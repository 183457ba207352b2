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
    drawMark(p, QRectF(16, 8, 36, 36), glyphs);
    p.setPen(Qt::white);
    p.setFont(lato(20, true));
    p.drawText(QPointF(64, 33), QStringLiteral("Kestrova"));
    p.setPen(QColor(0x9f, 0xb7, 0xcf));
    p.setFont(lato(13));
    p.drawText(QPointF(162, 33), QStringLiteral("Phone to phone transfer"));

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
    p.setPen(colors::kSuccess.darker(120));
    p.setFont(lato(12, true));
    p.drawText(QRectF(26, 0, 74, 21), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Connected"));
    p.end();
    return image;
}

struct Step {
    QString title;
    QString text;
};

// A guidance page placed at windowY in the window: a card with a heading,
// numbered steps on the left and a phone on the right; below the card the
// window's own background, where the page's buttons sit.
void drawGuidance(QPainter& p, qreal windowY, const QString& title, const QString& lead,
                  const QList<Step>& steps) {
    p.fillRect(QRect(0, 0, 929, 490), windowPageGradient(windowY));
    drawCard(p, QRectF(8, 6, 913, 424), 14);
    p.setPen(colors::kInk);
    p.setFont(lato(26, true));
    p.drawText(QPointF(48, 66), title);
    drawParagraph(p, QRectF(48, 82, 500, 60), lead, lato(15), colors::kText);
    qreal y = 150;
    for (int i = 0; i < steps.size(); ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(colors::kPrimaryWash);
        p.drawEllipse(QRectF(48, y, 34, 34));
        p.setPen(colors::kPrimary);
        p.setFont(lato(16, true));
        p.drawText(QRectF(48, y, 34, 34), Qt::AlignCenter, QString::number(i + 1));
        p.setPen(colors::kInk);
        p.setFont(lato(17, true));
        p.drawText(QPointF(100, y + 16), steps[i].title);
        drawParagraph(p, QRectF(100, y + 24, 440, 50), steps[i].text, lato(14), colors::kText);
        y += 88;
    }
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

void drawToggleRow(QPainter& p, const QRectF& row, const QString& label, bool on, bool focus) {
    if (focus)
        p.fillRect(row, colors::kPrimaryWash);
    p.setPen(colors::kInk);
    p.setFont(lato(12, focus));
    p.drawText(row.adjusted(12, 0, -50, 0), Qt::AlignVCenter | Qt::AlignLeft, label);
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
    drawGuidance(p, 105, QStringLiteral("Turn on USB debugging"),
                 QStringLiteral("Kestrova talks to an Android phone over USB debugging. "
                                "It is off on new phones; switching it on takes a minute."),
                 {{QStringLiteral("Show the developer options"),
                   QStringLiteral("Open Settings \u203a About phone and tap Build number seven "
                                  "times.")},
                  {QStringLiteral("Open the developer options"),
                   QStringLiteral("Go back to Settings \u203a System \u203a Developer options.")},
                  {QStringLiteral("Switch on USB debugging"),
                   QStringLiteral("Turn on USB debugging, then press Next below.")}});
    drawGuidancePhone(p, [&p](const QRectF& glass) {
        p.fillRect(QRectF(glass.x(), glass.y(), glass.width(), 44), colors::kHeaderEnd);
        p.setPen(Qt::white);
        p.setFont(lato(13, true));
        p.drawText(QRectF(glass.x() + 12, glass.y(), glass.width(), 44),
                   Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Developer options"));
        const QString rows[4] = {QStringLiteral("Stay awake"), QStringLiteral("USB debugging"),
                                 QStringLiteral("Wireless debugging"), QStringLiteral("Show taps")};
        for (int i = 0; i < 4; ++i)
            drawToggleRow(p, QRectF(glass.x(), glass.y() + 60 + i * 46, glass.width(), 46), rows[i],
                          i == 1, i == 1);
    });
    p.end();
    return image;
}

QImage drawAuthorisationPage() {
    QImage image = canvas(929, 490);
    QPainter p;
    beginPainter(p, image);
    drawGuidance(p, (650 - 490) / 2, QStringLiteral("Allow this computer"),
                 QStringLiteral("Your phone is asking whether it may be used from this "
                                "computer. The question is on the phone's screen."),
                 {{QStringLiteral("Unlock your phone"),
                   QStringLiteral("Wake the phone and unlock it so you can see the question.")},
                  {QStringLiteral("Tick \u201cAlways allow\u201d"),
                   QStringLiteral("Tick Always allow from this computer, so it is not asked "
                                  "again.")},
                  {QStringLiteral("Tap Allow"), QStringLiteral("Then press Retry below.")}});
    drawGuidancePhone(p, [&p](const QRectF& glass) {
        p.fillRect(glass, QColor(0x5b, 0x6f, 0x84));
        const QRectF box(glass.x() + 10, glass.y() + 80, glass.width() - 20, 170);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(box, 10, 10);
        p.setPen(colors::kInk);
        p.setFont(lato(13, true));
        p.drawText(QRectF(box.x() + 12, box.y() + 12, box.width() - 24, 20),
                   QStringLiteral("Allow USB debugging?"));
        drawParagraph(p, QRectF(box.x() + 12, box.y() + 38, box.width() - 24, 40),
                      QStringLiteral("The computer's key fingerprint is shown here."), lato(10.5),
                      colors::kText);
        p.setPen(QPen(colors::kPrimary, 1.2));
        p.setBrush(colors::kPrimary);
        const QRectF tickBox(box.x() + 12, box.y() + 86, 12, 12);
        p.drawRoundedRect(tickBox, 2, 2);
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(
            QPolygonF({tickBox.topLeft() + QPointF(2.5, 6.2), tickBox.topLeft() + QPointF(5, 8.7),
                       tickBox.topLeft() + QPointF(9.5, 3.5)}));
        p.setPen(colors::kInk);
        p.setFont(lato(10.5));
        p.drawText(QPointF(box.x() + 30, box.y() + 96), QStringLiteral("Always allow from this"));
        p.drawText(QPointF(box.x() + 30, box.y() + 109), QStringLiteral("computer"));
        p.setFont(lato(12, true));
        p.setPen(colors::kMuted);
        p.drawText(QRectF(box.x(), box.bottom() - 40, box.width() / 2, 40), Qt::AlignCenter,
                   QStringLiteral("Cancel"));
        p.setPen(colors::kPrimary);
        p.drawText(QRectF(box.center().x(), box.bottom() - 40, box.width() / 2, 40),
                   Qt::AlignCenter, QStringLiteral("Allow"));
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

QImage drawLink(bool highlighted) {
    QImage image = canvas(160, 20);
    QPainter p;
    beginPainter(p, image);
    QFont font = lato(13);
    font.setUnderline(highlighted);
    p.setFont(font);
    p.setPen(highlighted ? colors::kPrimaryDark : colors::kPrimary);
    p.drawText(QRectF(0, 0, 160, 20), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Can't find USB debugging?"));
    p.end();
    return image;
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
