#include "UserItemWidget.h"

#include "MyPushButton.h"

#include <QLabel>

#include <QMouseEvent>
#include <algorithm>

UserItemWidget::UserItemWidget(QWidget* parent) : QWidget(parent) {
    m_picButton = new MyPushButton(this);
    m_picButton->setObjectName(QStringLiteral("tileButton"));
    // The tile is a check box for the keyboard and screen readers: Tab
    // reaches its picture, Space or Enter ticks it.
    m_picButton->setCheckable(true);
    m_name = new QLabel(this);
    // A kind the phones cannot exchange is greyed, its name too.
    m_name->setStyleSheet(
        QStringLiteral("QLabel { color: #42586a;font: 14px;} QLabel:disabled { color: #a9b6c2;}"));
    m_name->setAlignment(Qt::AlignCenter);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("count"));
    m_count->setStyleSheet(
        QStringLiteral("QLabel { color: #7a8b99;font: 11px;} QLabel:disabled { color: #c3ccd4;}"));
    m_count->setAlignment(Qt::AlignCenter);
    m_tick = new MyPushButton(this);
    const QString tick = QStringLiteral(":/images/check/checked.png");
    m_tick->SetPicture(tick, tick, tick, tick);
    m_tick->setAutoFillBackground(true);
    m_tick->setFocusPolicy(Qt::NoFocus);
    m_tick->hide();
    connect(m_picButton, &MyPushButton::clicked, this, &UserItemWidget::m_picbutton_slots);
    connect(m_tick, &MyPushButton::clicked, this, &UserItemWidget::m_picbutton_slots);
}

void UserItemWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_picButton->setGeometry(0, 0, w, 57);
    m_name->setGeometry(0, 57, w, 20);
    m_count->setGeometry(0, 77, w, std::max(0, h - 77));
    m_tick->setGeometry(w - 22, 1, 20, 20);
    m_tick->raise();
}

void UserItemWidget::setMyText(const QString& text) {
    m_name->setText(text);
    m_picButton->setAccessibleName(text);
}

void UserItemWidget::setCountText(const QString& text) {
    if (m_count->text() != text) {
        m_count->setText(text);
        m_picButton->setAccessibleDescription(text);
    }
}

QString UserItemWidget::countText() const { return m_count->text(); }

void UserItemWidget::setTicked(bool ticked) {
    m_ticked = ticked;
    m_tick->setVisible(ticked);
    m_picButton->setChecked(ticked);
}

void UserItemWidget::m_picbutton_slots() { setTicked(!m_ticked); }

void UserItemWidget::setMyEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
    m_picButton->setEnabled(enabled);
    m_tick->setEnabled(enabled);
    if (!enabled)
        setTicked(false);
}

// The tile itself takes no part in dragging the window.
void UserItemWidget::mousePressEvent(QMouseEvent* event) { event->accept(); }
void UserItemWidget::mouseMoveEvent(QMouseEvent* event) { event->accept(); }
void UserItemWidget::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
