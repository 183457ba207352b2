#include "kestrovaMainWidget.h"

#include "appglobals.h"

#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

KestrovaMainWidget::KestrovaMainWidget(QWidget* parent) : QWidget(parent) {
    resize(1000, 650);
    setAutoFillBackground(true);
    g_KestrovaMainWidget_instance = this;
    move(100, 60);
    setWindowTitle(QStringLiteral("Kestrova"));
    setWindowIcon(QIcon(QStringLiteral(":/images/program.png")));
    addWaitingPane(55, tr("Source"), tr("Connect the phone to copy from"));
    addWaitingPane(600, tr("Destination"), tr("Connect the phone to copy to"));
    applyBackground();
}

KestrovaMainWidget::~KestrovaMainWidget() {
    if (g_KestrovaMainWidget_instance == this)
        g_KestrovaMainWidget_instance = nullptr;
}

void KestrovaMainWidget::addWaitingPane(int x, const QString& title, const QString& message) {
    auto* pane = new QWidget(this);
    pane->setGeometry(x, 52 + 60, 345, 405);
    auto* titleLabel = new QLabel(title, pane);
    titleLabel->setStyleSheet(QStringLiteral("QLabel { color: #025b96;font: bold 18px;}"));
    titleLabel->setGeometry(20, 10, 325, 50);
    auto* picture = new QLabel(pane);
    picture->setGeometry(83, 70, 179, 270);
    picture->setPixmap(QPixmap(QStringLiteral(":/images/connectddevice.png")));
    auto* messageLabel = new QLabel(message, pane);
    messageLabel->setStyleSheet(QStringLiteral("QLabel { color: #025b96;font: 16px;}"));
    messageLabel->setAlignment(Qt::AlignCenter);
    messageLabel->setGeometry(0, 330, 345, 60);
}

void KestrovaMainWidget::applyBackground() {
    const QPixmap background(QStringLiteral(":/images/tsf.png"));
    QPalette pal = palette();
    pal.setBrush(QPalette::Window, QBrush(background.scaled(size(), Qt::IgnoreAspectRatio,
                                                            Qt::SmoothTransformation)));
    setPalette(pal);
}

void KestrovaMainWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyBackground();
}
