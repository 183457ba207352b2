#include "IphoneTrustWidget.h"

#include "MyPushButton.h"

#include "skinning.h"

#include <QLabel>

#include "spritemap.h"

IphoneTrustWidget::IphoneTrustWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("iphoneTrustPage"));
    // A plain white card over the panes, as the Android pages' pictures are.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("#iphoneTrustPage { background: #ffffff; border: 1px solid "
                                 "#c9d3df; border-radius: 8px; }"));
    m_title = new QLabel(tr("Unlock your iPhone and tap Trust"), this);
    m_title->setObjectName(QStringLiteral("iphoneTrustTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setStyleSheet(QStringLiteral("font-size: 26px; color: #1f2a37;"));
    m_reason = new QLabel(this);
    m_reason->setObjectName(QStringLiteral("iphoneTrustReason"));
    m_reason->setAlignment(Qt::AlignCenter);
    m_reason->setStyleSheet(QStringLiteral("font-size: 15px; color: #c0392b;"));
    m_steps = new QLabel(tr("1. Unlock the iPhone with its passcode.\n"
                            "2. When it asks \"Trust This Computer?\", tap Trust and enter the "
                            "passcode.\n"
                            "3. Keep the cable plugged in, then press Retry."),
                         this);
    m_steps->setObjectName(QStringLiteral("iphoneTrustSteps"));
    m_steps->setWordWrap(true);
    m_steps->setStyleSheet(QStringLiteral("font-size: 16px; color: #3b4754;"));
    m_retryButton = new MyPushButton(this);
    m_retryButton->setObjectName(QStringLiteral("iphoneTrustRetry"));
    m_retryButton->setSprite(skinPicture(QStringLiteral(":/images/retry.png")));
    m_retryButton->setCaption(tr("Retry"), spritemap::Tone::Primary, 15, QStringLiteral("retry"));
    const spritemap::Strip& s = spritemap::kRetry;
    m_retryButton->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_retryButton, &MyPushButton::clicked, this, &IphoneTrustWidget::slots_retryButton);
}

void IphoneTrustWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_title->setGeometry(0, 90, w, 40);
    m_reason->setGeometry(0, 140, w, 24);
    m_steps->setGeometry(w / 2 - 300, 200, 600, 120);
    m_retryButton->setGeometry((w - 150) / 2 + 20, 450, 150, 39);
}

void IphoneTrustWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_retryButton->setFocus(Qt::OtherFocusReason);
}

void IphoneTrustWidget::setReason(const QString& text) { m_reason->setText(text); }

void IphoneTrustWidget::slots_retryButton() {
    m_dismissed = false;
    hide();
    emit retry();
}
