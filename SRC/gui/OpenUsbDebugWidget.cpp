#include "OpenUsbDebugWidget.h"

#include "GuidancePage.h"
#include "MyPushButton.h"
#include "windowhooks.h"

#include "skinning.h"

#include <QPixmap>

#include "spritemap.h"

OpenUsbDebugWidget::OpenUsbDebugWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("usbDebugPage"));
    setAutoFillBackground(true);
    guidance::addPageTexts(
        this, tr("Turn on USB debugging"),
        tr("Kestrova talks to an Android phone over USB debugging. It is off on new phones; "
           "switching it on takes a minute."),
        {{tr("Show the developer options"),
          tr("Open Settings › About phone and tap Build number seven times.")},
         {tr("Open the developer options"),
          tr("Go back to Settings › System › Developer options.")},
         {tr("Switch on USB debugging"), tr("Turn on USB debugging, then press Next below.")}});
    // The phone's screen in the picture: its settings page.
    guidance::addText(this, QRect(678, 66, 160, 44), tr("Developer options"),
                      QStringLiteral("color: white; font-size: 13px; font-weight: bold;"),
                      Qt::AlignLeft | Qt::AlignVCenter);
    const QString rows[4] = {tr("Stay awake"), tr("USB debugging"), tr("Wireless debugging"),
                             tr("Show taps")};
    for (int i = 0; i < 4; ++i)
        guidance::addText(this, QRect(678, 126 + i * 46, 116, 46), rows[i],
                          QStringLiteral("color: #1d3b57; font-size: 12px;%1")
                              .arg(i == 1 ? QStringLiteral(" font-weight: bold;") : QString()),
                          Qt::AlignLeft | Qt::AlignVCenter);
    m_linkButton = new MyPushButton(this);
    m_linkButton->setObjectName(QStringLiteral("usbDebugHelpLink"));
    m_linkButton->setCursor(Qt::PointingHandCursor);
    const QString plain = QStringLiteral(":/images/debugnofound/1.png");
    m_linkButton->SetPicture(plain, QStringLiteral(":/images/debugnofound/2.png"), plain, plain);
    m_linkButton->setCaption(tr("Can't find USB debugging?"), spritemap::Tone::Link, 13);
    m_linkButton->setCaptionAlignment(Qt::AlignLeft);
    m_linkButton->setAccessibleDescription(tr("Opens the longer guide in the web browser."));
    m_nextButton = new MyPushButton(this);
    m_nextButton->setObjectName(QStringLiteral("usbDebugNext"));
    m_nextButton->setSprite(skinPicture(QStringLiteral(":/images/opened.png")));
    m_nextButton->setCaption(tr("Next"), spritemap::Tone::Primary, 15);
    const spritemap::Strip& s = spritemap::kOpenedNext;
    m_nextButton->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_linkButton, &MyPushButton::clicked, this,
            &OpenUsbDebugWidget::slots_debugNotFoundButton);
    connect(m_nextButton, &MyPushButton::clicked, this,
            &OpenUsbDebugWidget::slots_openedNextButton);
}

void OpenUsbDebugWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_linkButton->setGeometry(200, 454, 260, 22);
    m_nextButton->setGeometry(w / 2 + 100, 445, 180, 40);
}

void OpenUsbDebugWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_nextButton->setFocus(Qt::OtherFocusReason);
}

void OpenUsbDebugWidget::slots_debugNotFoundButton() {
    windowhooks::openUrl(windowhooks::documentUrl(QStringLiteral("usb-debugging.html")));
}

void OpenUsbDebugWidget::slots_openedNextButton() {
    m_dismissed = true;
    hide();
}
