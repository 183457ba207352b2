// Small painting helpers shared by the skinned windows.
#pragma once

class QPixmap;
class QRect;
class QString;
class QWidget;

// Loads a picture of the resource ":/images/", taking its "@2x" twin on a
// screen denser than 1 (device pixel ratio 2 then), so it stays sharp.
QPixmap skinPicture(const QString& path);

// The piece of a sheet at rect, given in the sheet's logical pixels; the piece
// keeps the sheet's device pixel ratio.
QPixmap skinPiece(const QPixmap& sheet, const QRect& rect);

// Fills the widget's background with the picture stretched to its size,
// keeping the picture's device pixel ratio so it stays crisp on dense screens.
void setScaledBackground(QWidget* widget, const QPixmap& picture);

// Clips a frameless window to a rectangle with rounded corners.
void applyRoundedMask(QWidget* widget, int radius);
