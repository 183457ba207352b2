#include "OpenUsbDebugWidget.h"

#include "MyPushButton.h"
#include "windowhooks.h"

#include "skinning.h"

#include <QPixmap>

#include "spritemap.h"

OpenUsbDebugWidget::OpenUsbDebugWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("usbDebugPage"));
    setAutoFillBackground(true);
    m_linkButton = new MyPushButton(this);
    m_linkButton->setObjectName(QStringLiteral("usbDebugHelpLink"));
    m_linkButton->setCursor(Qt::PointingHandCursor);
    const QString plain = QStringLiteral(":/images/debugnofound/1.png");
    m_linkButton->SetPicture(plain, QStringLiteral(":/images/debugnofound/2.png"), plain, plain);
    m_nextButton = new MyPushButton(this);
    m_nextButton->setObjectName(QStringLiteral("usbDebugNext"));
    m_nextButton->setSprite(skinPicture(QStringLiteral(":/images/opened.png")));
    const spritemap::Strip& s = spritemap::kOpenedNext;
    m_nextButton->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_linkButton, &MyPushButton::clicked, this,
            &OpenUsbDebugWidget::slots_debugNotFoundButton);
    connect(m_nextButton, &MyPushButton::clicked, this,
            &OpenUsbDebugWidget::slots_openedNextButton);
}

void OpenUsbDebugWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_linkButton->setGeometry(240, 454, 160, 20);
    m_nextButton->setGeometry(w / 2 + 100, 445, 180, 40);
}

void OpenUsbDebugWidget::slots_debugNotFoundButton() {
    windowhooks::openUrl(windowhooks::documentUrl(QStringLiteral("usb-debugging.html")));
}

void OpenUsbDebugWidget::slots_openedNextButton() {
    m_dismissed = true;
    hide();
}
