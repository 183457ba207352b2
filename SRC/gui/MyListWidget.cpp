#include "MyListWidget.h"

#include "spritemap.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

namespace {

const char* kCheckStyle =
    "QCheckBox::indicator{width:15px;height:15px;}"
    "QCheckBox::indicator:unchecked{image:url(:/images/check/uncheck1.png);}"
    "QCheckBox::indicator:unchecked:hover{image:url(:/images/check/uncheck2.png);}"
    "QCheckBox::indicator:unchecked:pressed{image:url(:/images/check/uncheck3.png);}"
    "QCheckBox::indicator:checked{image:url(:/images/check/checked1.png);}"
    "QCheckBox::indicator:checked:hover{image:url(:/images/check/checked2.png);}"
    "QCheckBox::indicator:checked:pressed{image:url(:/images/check/checked3.png);}";

const char* kScrollStyle =
    "QScrollArea{background:white;border:0px;}"
    "QScrollBar:vertical{width:5px;background:white;margin:0px;border:0px;}"
    "QScrollBar::handle:vertical{background:#32CC99;min-height:5px;border-radius:2px;}"
    "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0px;}"
    "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:white;}";

} // namespace

MyListWidgetItem::MyListWidgetItem(QWidget* parent) : QWidget(parent) {
    QFont font(QStringLiteral("Lato"));
    setFont(font);
    m_checkBox = new QCheckBox(this);
    m_checkBox->setStyleSheet(QLatin1String(kCheckStyle));
    m_checkBox->setGeometry(0, 5, 15, 15);
    // The list is one stop of the Tab key; its arrows move the choice.
    m_checkBox->setFocusPolicy(Qt::NoFocus);
    m_title = new QLabel(this);
    m_title->setStyleSheet(QStringLiteral("QLabel { color: #203e57;font: 16px;}"));
    m_subtitle = new QLabel(this);
    m_subtitle->setStyleSheet(QStringLiteral("QLabel { color: #42627c;font: 13px;}"));
    connect(m_checkBox, &QCheckBox::stateChanged, this, &MyListWidgetItem::m_checkBox_slots);
}

void MyListWidgetItem::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    m_title->setGeometry(25, 0, w - 25, h / 2);
    m_subtitle->setGeometry(25, h / 2, w - 25, h / 2);
}

void MyListWidgetItem::setValues(const QString& title, const QString& subtitle,
                                 const QString& data) {
    m_title->setText(title);
    m_subtitle->setText(subtitle);
    m_data = data;
    m_checkBox->setAccessibleName(subtitle.isEmpty() ? title
                                                     : title + QStringLiteral(", ") + subtitle);
}

QString MyListWidgetItem::title() const { return m_title->text(); }
bool MyListWidgetItem::isChecked() const { return m_checkBox->isChecked(); }
void MyListWidgetItem::setChecked(bool checked) { m_checkBox->setChecked(checked); }
void MyListWidgetItem::m_checkBox_slots() { emit clickedChange(this); }

MyListWidget::MyListWidget(QWidget* parent) : QWidget(parent) {
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setStyleSheet(QLatin1String(kScrollStyle));
    m_inner = new QWidget;
    m_inner->setObjectName(QStringLiteral("backupListInner"));
    m_inner->setStyleSheet(QStringLiteral("#backupListInner{background:white;}"));
    m_scroll->setWidget(m_inner);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
}

void MyListWidget::setGeometry(int x, int y, int w, int h) {
    QWidget::setGeometry(x, y, w, h);
    // Two pixels all round for the focus ring.
    m_scroll->setGeometry(2, 2, w - 4, h - 4);
    flushItemListShow();
}

void MyListWidget::addItemToList(const QString& title, const QString& subtitle,
                                 const QString& data) {
    MyListWidgetItem* row = nullptr;
    for (MyListWidgetItem* item : m_items) {
        if (item->data().isEmpty()) {
            row = item;
            break;
        }
    }
    if (!row) {
        row = new MyListWidgetItem(m_inner);
        connect(row, &MyListWidgetItem::clickedChange, this, &MyListWidget::ItemlistStateChange);
        m_items.append(row);
    }
    row->setValues(title, subtitle, data);
    flushItemListShow();
}

void MyListWidget::flushItemListShow() {
    const int w = qMax(0, width() - 6);
    m_shown = 0;
    for (MyListWidgetItem* item : m_items) {
        if (item->data().isEmpty())
            continue;
        item->setGeometry(0, 50 * m_shown, w, 40);
        item->show();
        ++m_shown;
    }
    m_inner->resize(w, m_shown == 0 ? 100 : 50 * (m_shown + 1));
}

void MyListWidget::clear() {
    for (MyListWidgetItem* item : m_items) {
        const QSignalBlocker quiet(item);
        item->setValues(QString(), QString(), QString());
        item->setChecked(false);
        item->hide();
    }
    flushItemListShow();
}

QString MyListWidget::checkedData() const {
    for (const MyListWidgetItem* item : m_items)
        if (!item->data().isEmpty() && item->isChecked())
            return item->data();
    return QString();
}

void MyListWidget::ItemlistStateChange(MyListWidgetItem* item) {
    if (item->isChecked()) {
        // The chosen backup scrolls into view, however the choice was made.
        m_scroll->ensureWidgetVisible(item, 0, 0);
        for (MyListWidgetItem* other : m_items) {
            if (other == item)
                continue;
            const QSignalBlocker quiet(other);
            other->setChecked(false);
        }
    }
    emit ItemlistChange();
}

void MyListWidget::keyPressEvent(QKeyEvent* event) {
    const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
    if (step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    QList<MyListWidgetItem*> shown;
    for (MyListWidgetItem* item : m_items)
        if (!item->data().isEmpty())
            shown << item;
    if (shown.isEmpty())
        return;
    qsizetype at = -1;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (shown[i]->isChecked())
            at = i;
    const qsizetype next = at < 0 ? 0 : std::clamp<qsizetype>(at + step, 0, shown.size() - 1);
    if (next != at)
        shown[next]->setChecked(true);
}

void MyListWidget::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(QColor::fromRgba(spritemap::kFocusRgb), 2));
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void MyListWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void MyListWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
