#include "screenfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtGui/private/qhighdpiscaling_p.h>

#include <algorithm>

namespace screenfit {

qreal fitScale(const QSize& size, const QSize& available, const QMargins& frame) {
    if (available.isEmpty() || size.isEmpty())
        return 1.0;
    const qreal wide = qreal(available.width()) / (size.width() + frame.left() + frame.right());
    const qreal high = qreal(available.height()) / (size.height() + frame.top() + frame.bottom());
    return std::min<qreal>({1.0, wide, high});
}

QRect fitScreenTo(QWidget* window, const QSize& size) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(QPoint(0, 0), size);
    // The offscreen platform's made-up screen (it has no name) is seen by
    // nobody: tests and screenshots use it. A configured one is fitted.
    const bool madeUp =
        QGuiApplication::platformName() == QLatin1String("offscreen") && screen->name().isEmpty();
    const qreal scale = madeUp ? 1.0 : fitScale(size, screen->availableGeometry().size());
    if (scale < 1.0) {
        // Qt has no scale per window in its public interface; the factor of
        // the screen (what QT_SCREEN_SCALE_FACTORS sets at start-up) scales
        // every window of the program alike, which is what the dialogs that
        // open over the main window need too. It replaces the factor the
        // screen's density gave, so the two are multiplied here.
        const qreal global = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                 ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                 : 1.0;
        const qreal current = QHighDpiScaling::factor(screen) / (global > 0 ? global : 1.0);
        QHighDpiScaling::setScreenFactor(screen, current * scale);
    }
    return screen->availableGeometry();
}

QPoint placement(const QSize& size, const QRect& available) {
    const QPoint corner = available.topLeft() + QPoint(100, 60);
    if (available.isEmpty() || available.contains(QRect(corner, size + QSize(4, 44))))
        return corner;
    return available.topLeft() + QPoint(std::max(0, (available.width() - size.width()) / 2),
                                        std::max(0, (available.height() - size.height()) / 2));
}

} // namespace screenfit
