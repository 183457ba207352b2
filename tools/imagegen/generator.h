// The pictures the program compiles in, each drawn by code from the palette
// and the SVG glyphs.
#pragma once

#include "painting.h"

#include <QList>

namespace imagegen {

struct Picture {
    QString name; // resource name below ":/images/", e.g. "check/checked.png"
    QImage image;
};

QList<Picture> drawSheets(const Glyphs& glyphs);   // main.png, publicImage.png, button strips
QList<Picture> drawPictures(const Glyphs& glyphs); // backgrounds, pages, device, marks
QList<Picture> drawChecks();                       // check-box and tick faces

// The application mark (two phones and an arrow on a rounded tile).
void drawMark(QPainter& p, const QRectF& r, const Glyphs& glyphs);

// Frames of ":/images/loadimg.gif".
QList<QImage> spinnerFrames();

} // namespace imagegen
