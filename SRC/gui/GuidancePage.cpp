#include "GuidancePage.h"

#include "MyPushButton.h"
#include "skinning.h"
#include "spritemap.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>

namespace {

constexpr int kCardWidth = 913;
constexpr int kCardHeight = 436;

} // namespace

GuidancePage::GuidancePage(const QString& name, const QString& title, const QString& intro,
                           const std::vector<Step>& steps, QWidget* parent)
    : QWidget(parent) {
    setObjectName(name);
    m_card = new QWidget(this);
    m_card->setObjectName(name + QStringLiteral("Card"));
    m_card->setAttribute(Qt::WA_StyledBackground);
    m_card->setStyleSheet(QStringLiteral("#%1 { background: white; border: 1px solid #dfe6ee; "
                                         "border-radius: 12px; }")
                              .arg(m_card->objectName()));
    auto* shadow = new QGraphicsDropShadowEffect(m_card);
    shadow->setBlurRadius(18);
    shadow->setOffset(0, 3);
    shadow->setColor(QColor(20, 40, 70, 60));
    m_card->setGraphicsEffect(shadow);

    m_title = new QLabel(title, m_card);
    m_title->setObjectName(name + QStringLiteral("Title"));
    m_title->setStyleSheet(QStringLiteral("color: #1c3350; font-family: Lato; font-weight: bold; "
                                          "font-size: 26px;"));
    m_intro = new QLabel(intro, m_card);
    m_intro->setObjectName(name + QStringLiteral("Intro"));
    m_intro->setWordWrap(true);
    m_intro->setStyleSheet(QStringLiteral("color: #4a5a6e; font-family: Lato; font-size: 15px;"));
    int n = 1;
    for (const Step& step : steps) {
        auto* badge = new QLabel(QString::number(n++), m_card);
        badge->setAlignment(Qt::AlignCenter);
        badge->setStyleSheet(QStringLiteral("background: #e4eef9; color: #2a6db3; border-radius: "
                                            "17px; font-family: Lato; font-weight: bold; "
                                            "font-size: 16px;"));
        auto* text = new QLabel(QStringLiteral("<div style='color:#1c3350; font-size:17px; "
                                               "font-weight:bold'>%1</div><div "
                                               "style='color:#4a5a6e; font-size:14px'>%2</div>")
                                    .arg(step.heading.toHtmlEscaped(), step.detail.toHtmlEscaped()),
                                m_card);
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setStyleSheet(QStringLiteral("font-family: Lato;"));
        text->setAccessibleName(step.heading + QStringLiteral(": ") + step.detail);
        m_steps.emplace_back(badge, text);
    }
    m_retry = new MyPushButton(this);
    m_retry->setObjectName(name + QStringLiteral("Retry"));
    m_retry->setCaption(tr("Retry"), spritemap::Tone::Primary, 15, QStringLiteral("retry"));
    m_retry->setSprite(skinPicture(QStringLiteral(":/images/retry.png")));
    const spritemap::Strip& s = spritemap::kRetry;
    m_retry->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
    connect(m_retry, &MyPushButton::clicked, this, &GuidancePage::slots_retry);
}

void GuidancePage::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    const int cardX = (w - kCardWidth) / 2;
    m_card->setGeometry(cardX, 0, kCardWidth, kCardHeight);
    m_title->setGeometry(40, 34, kCardWidth - 80, 36);
    m_intro->setGeometry(40, 76, 600, 48);
    int y0 = 146;
    for (auto& [badge, text] : m_steps) {
        badge->setGeometry(40, y0 + 4, 34, 34);
        text->setGeometry(92, y0, kCardWidth - 140, 66);
        y0 += 86;
    }
    m_retry->setGeometry((w - 150) / 2 + 20, kCardHeight + 14, 150, 39);
}

void GuidancePage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_retry->setFocus(Qt::OtherFocusReason);
}

void GuidancePage::slots_retry() {
    m_dismissed = true;
    hide();
}

GuidancePage* makeUsbPermissionPage(QWidget* parent) {
    return new GuidancePage(
        QStringLiteral("usbPermissionPage"), GuidancePage::tr("Let this computer open the phone"),
        GuidancePage::tr("The phone is connected and USB debugging is on, but Linux does not let "
                         "this program use it: the rule that gives your user access to Android "
                         "phones is missing."),
        {{GuidancePage::tr("Install the rules for Android phones"),
          GuidancePage::tr("In a terminal: sudo apt install android-sdk-platform-tools-common "
                           "(other systems: the package with the udev rules for Android).")},
         {GuidancePage::tr("Let your user use them"),
          GuidancePage::tr("sudo usermod -aG plugdev $USER, then log out and in again.")},
         {GuidancePage::tr("Plug the phone in again"),
          GuidancePage::tr("Unplug the cable, plug it back in, then press Retry below.")}},
        parent);
}

namespace guidance {

QLabel* addText(QWidget* page, const QRect& where, const QString& text, const QString& style,
                Qt::Alignment alignment) {
    auto* label = new QLabel(text, page);
    label->setGeometry(where);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    label->setStyleSheet(
        QStringLiteral("QLabel { font-family: Lato; background: transparent; %1 }").arg(style));
    return label;
}

void addPageTexts(QWidget* page, const QString& title, const QString& intro,
                  const std::vector<GuidancePage::Step>& steps) {
    const QString ink = QStringLiteral("color: #1d3b57;");
    QLabel* heading = addText(page, QRect(48, 36, 590, 40), title,
                              ink + QStringLiteral(" font-size: 26px; font-weight: bold;"),
                              Qt::AlignLeft | Qt::AlignVCenter);
    heading->setObjectName(page->objectName() + QStringLiteral("Title"));
    addText(page, QRect(48, 80, 560, 62), intro,
            QStringLiteral("color: #4a6075; font-size: 15px;"));
    int y = 150;
    int n = 1;
    for (const GuidancePage::Step& step : steps) {
        addText(page, QRect(48, y, 34, 34), QString::number(n++),
                QStringLiteral("color: #2a78c2; background: #e6f0fa; border-radius: 17px; "
                               "font-size: 16px; font-weight: bold;"),
                Qt::AlignCenter);
        addText(page, QRect(100, y - 2, 540, 24), step.heading,
                ink + QStringLiteral(" font-size: 17px; font-weight: bold;"),
                Qt::AlignLeft | Qt::AlignVCenter);
        addText(page, QRect(100, y + 24, 540, 56), step.detail,
                QStringLiteral("color: #4a6075; font-size: 14px;"));
        y += 88;
    }
}

} // namespace guidance
