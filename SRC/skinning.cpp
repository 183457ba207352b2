#include "skinning.h"

#include <QBitmap>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

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
