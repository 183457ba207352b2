#include "DebugAuthorizationWidget.h"

#include "GuidancePage.h"
#include "MyPushButton.h"

#include "skinning.h"

#include <QPixmap>

#include "spritemap.h"

DebugAuthorizationWidget::DebugAuthorizationWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("authorisationPage"));
    setAutoFillBackground(true);
    guidance::addPageTexts(
        this, tr("Allow this computer"),
        tr("Your phone is asking whether it may be used from this computer. The question is on "
           "the phone's screen."),
        {{tr("Unlock your phone"), tr("Wake the phone and unlock it so you can see the question.")},
         {tr("Tick “Always allow”"),
          tr("Tick Always allow from this computer, so it is not asked again.")},
         {tr("Tap Allow"), tr("Then press Retry below.")}});
    // The question on the phone's screen in the picture.
    const QString ink = QStringLiteral("color: #1d3b57;");
    guidance::addText(this, QRect(688, 156, 136, 24), tr("Allow USB debugging?"),
                      ink + QStringLiteral(" font-size: 13px; font-weight: bold;"));
    guidance::addText(this, QRect(688, 182, 136, 44),
                      tr("The computer's key fingerprint is shown here."),
                      QStringLiteral("color: #4a6075; font-size: 10px;"));
    guidance::addText(this, QRect(705, 229, 122, 30), tr("Always allow from this computer"),
                      ink + QStringLiteral(" font-size: 10px;"));
    guidance::addText(this, QRect(676, 276, 79, 40), tr("Cancel"),
                      QStringLiteral("color: #8a9aab; font-size: 12px; font-weight: bold;"),
                      Qt::AlignCenter);
    guidance::addText(this, QRect(755, 276, 79, 40), tr("Allow"),
                      QStringLiteral("color: #2a78c2; font-size: 12px; font-weight: bold;"),
                      Qt::AlignCenter);
    m_nextButton = new MyPushButton(this);
    m_nextButton->setObjectName(QStringLiteral("authorisationNext"));
    m_nextButton->setSprite(skinPicture(QStringLiteral(":/images/retry.png")));
    m_nextButton->setCaption(tr("Retry"), spritemap::Tone::Primary, 15, QStringLiteral("retry"));
    const spritemap::Strip& s = spritemap::kRetry;
    m_nextButton->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_nextButton, &MyPushButton::clicked, this,
            &DebugAuthorizationWidget::slots_okNextButton);
}

void DebugAuthorizationWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_nextButton->setGeometry((w - 150) / 2 + 20, 450, 150, 39);
}

void DebugAuthorizationWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_nextButton->setFocus(Qt::OtherFocusReason);
}

void DebugAuthorizationWidget::slots_okNextButton() {
    m_dismissed = true;
    hide();
}
