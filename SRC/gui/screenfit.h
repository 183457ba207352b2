// Fitting the windows, laid out for one size in logical pixels, to a screen
// with less room (a 1366 x 768 laptop at 125 %): the layout is kept and drawn
// smaller as a whole, words and pictures alike, as if the screen had a
// smaller scale factor. Nothing changes on a screen with room enough.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace screenfit {

// Room the window manager takes around a window (its title bar and borders).
inline constexpr QMargins kFrameAllowance{4, 40, 4, 4};

// The uniform scale, at most 1, at which a window of size plus frame fits
// into available; 1 when available is empty.
qreal fitScale(const QSize& size, const QSize& available, const QMargins& frame = kFrameAllowance);

// Lowers the scale factor of the screen the window will open on, when needed,
// so that size fits there; returns that screen's available area afterwards
// (in the new logical pixels). Call before the window is first shown.
QRect fitScreenTo(QWidget* window, const QSize& size);

// Where a window of size opens: at (100, 60) from the area's corner when it
// fits there, else centred on it.
QPoint placement(const QSize& size, const QRect& available);

} // namespace screenfit
