#include "topCtrWidget.h"

#include "kestrova_version.h"
#include "windowhooks.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

topCtrlWidget::topCtrlWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("titleBar"));
    m_name = new QLabel(QStringLiteral("Kestrova"), this);
    m_name->setObjectName(QStringLiteral("programName"));
    m_name->setStyleSheet(
        QStringLiteral("QLabel {color: white; font-family: Lato; font-size: 20px; "
                       "font-weight: bold;}"));
    m_tagline = new QLabel(tr("Phone to phone transfer"), this);
    m_tagline->setObjectName(QStringLiteral("tagline"));
    m_tagline->setStyleSheet(
        QStringLiteral("QLabel {color: #9fb7cf; font-family: Lato; font-size: 13px;}"));
    m_version = new QLabel(tr("Ver: %1").arg(QStringLiteral(KESTROVA_VERSION_SHORT)), this);
    m_version->setObjectName(QStringLiteral("versionLabel"));
    m_version->setStyleSheet(QStringLiteral("QLabel {color: #9797cd;font: 9px;}"));

    // The application's own menu bar, as on a desktop with a global menu.
    m_menuBar = new QMenuBar(nullptr);
    m_helpMenu = m_menuBar->addMenu(tr("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction* help = m_helpMenu->addAction(tr("Help"));
    QAction* support = m_helpMenu->addAction(tr("Support"));
    QAction* about = m_helpMenu->addAction(tr("About"));
    for (QAction* action : {help, support, about})
        action->setIconVisibleInMenu(false);
    help->setObjectName(QStringLiteral("helpAction"));
    support->setObjectName(QStringLiteral("supportAction"));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(help, &QAction::triggered, this, &topCtrlWidget::slots_helpAction);
    connect(support, &QAction::triggered, this, &topCtrlWidget::slots_supportAction);
    connect(about, &QAction::triggered, this, &topCtrlWidget::slots_AboutAction);

    // Most Linux desktops have no application-wide menu bar, so the strip
    // also carries a Help button that opens the same menu.
    auto* button = new QToolButton(this);
    button->setObjectName(QStringLiteral("helpButton"));
    button->setText(tr("Help"));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setMenu(m_helpMenu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(
        QStringLiteral("QToolButton{color:#dce7f3;font:13px;border:1px solid rgba(255,255,255,60);"
                       "border-radius:4px;padding:2px 10px;background:transparent;}"
                       "QToolButton:hover{background:rgba(255,255,255,30);}"
                       "QToolButton:focus{border:2px solid #ffffff;}"
                       "QToolButton::menu-indicator{image:none;}"));
    m_helpButton = button;
}

topCtrlWidget::~topCtrlWidget() { delete m_menuBar; }

void topCtrlWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    topCtrlWidgetLayout();
}

void topCtrlWidget::topCtrlWidgetLayout() {
    const int w = width();
    m_name->setGeometry(64, 10, 100, 32);
    m_tagline->setGeometry(168, 12, 400, 30);
    m_version->setGeometry(w - 58, 0, 60, 35);
    // Wide enough for the word in other languages ("Hilfe", "Aide").
    m_helpButton->setGeometry(w - 150, 13, 84, 26);
}

void topCtrlWidget::slots_helpAction() {
    windowhooks::openUrl(windowhooks::documentUrl(QStringLiteral("help.html")));
}

void topCtrlWidget::slots_supportAction() {
    windowhooks::openUrl(windowhooks::documentUrl(QStringLiteral("help.html")));
}

void topCtrlWidget::slots_AboutAction() {
    windowhooks::openUrl(windowhooks::documentUrl(QStringLiteral("about.html")));
}
