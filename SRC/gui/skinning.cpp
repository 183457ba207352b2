#include "skinning.h"

#include <QBitmap>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

QPixmap skinPicture(const QString& path) {
    const qreal dense = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dense > 1.0 && dot > 0) {
        const QString twin = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
        if (QFile::exists(twin)) {
            QPixmap picture(twin);
            if (!picture.isNull()) {
                picture.setDevicePixelRatio(2.0);
                return picture;
            }
        }
    }
    return QPixmap(path);
}

QPixmap skinPiece(const QPixmap& sheet, const QRect& rect) {
    const qreal dpr = sheet.devicePixelRatio();
    const QRect pixels(qRound(rect.x() * dpr), qRound(rect.y() * dpr), qRound(rect.width() * dpr),
                       qRound(rect.height() * dpr));
    QPixmap piece = sheet.copy(pixels);
    piece.setDevicePixelRatio(dpr);
    return piece;
}

void setScaledBackground(QWidget* widget, const QPixmap& picture) {
    if (picture.isNull() || widget->width() < 1 || widget->height() < 1)
        return;
    const qreal dpr = picture.devicePixelRatio();
    QPixmap scaled =
        picture.scaled(widget->size() * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(dpr);
    QPalette pal = widget->palette();
    pal.setBrush(QPalette::Window, QBrush(scaled));
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void applyRoundedMask(QWidget* widget, int radius) {
    QBitmap mask(widget->size());
    mask.fill(Qt::color0);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::color1);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(widget->rect(), radius, radius);
    p.end();
    widget->setMask(mask);
}
