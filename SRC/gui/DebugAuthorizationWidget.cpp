#include "DebugAuthorizationWidget.h"

#include "MyPushButton.h"

#include "skinning.h"

#include <QPixmap>

#include "spritemap.h"

DebugAuthorizationWidget::DebugAuthorizationWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("authorisationPage"));
    setAutoFillBackground(true);
    m_nextButton = new MyPushButton(this);
    m_nextButton->setObjectName(QStringLiteral("authorisationNext"));
    m_nextButton->setSprite(skinPicture(QStringLiteral(":/images/retry.png")));
    const spritemap::Strip& s = spritemap::kRetry;
    m_nextButton->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_nextButton, &MyPushButton::clicked, this,
            &DebugAuthorizationWidget::slots_okNextButton);
}

void DebugAuthorizationWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_nextButton->setGeometry((w - 150) / 2 + 20, 450, 150, 39);
}

void DebugAuthorizationWidget::slots_okNextButton() {
    m_dismissed = true;
    hide();
}
