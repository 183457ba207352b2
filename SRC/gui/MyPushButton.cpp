#include "MyPushButton.h"

#include "skinning.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QColor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace {

// What screen readers are told about a skinned button: a button (or a check
// box) with its words as name, pressed by the reader's default action.
class ButtonAccessible : public QAccessibleWidget {
  public:
    explicit ButtonAccessible(MyPushButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::Role role() const override {
        return button()->isCheckable() ? QAccessible::CheckBox : QAccessible::Button;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return button()->spokenName();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            s.checkable = true;
            s.checked = button()->isChecked();
        }
        return s;
    }
    QStringList actionNames() const override {
        return {button()->isCheckable() ? toggleAction() : pressAction()};
    }
    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction())
            button()->click();
    }

  private:
    MyPushButton* button() const { return static_cast<MyPushButton*>(widget()); }
};

QAccessibleInterface* buttonAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("MyPushButton") && object && object->isWidgetType())
        return new ButtonAccessible(static_cast<MyPushButton*>(object));
    return nullptr;
}

bool isPressKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter ||
           key == Qt::Key_Select;
}

QColor rgba(unsigned value) {
    return QColor((value >> 24) & 0xff, (value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

void setBackground(QWidget* widget, const QBrush& brush) {
    QPalette pal = widget->palette();
    pal.setBrush(QPalette::Window, brush);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

} // namespace

MyPushButton::MyPushButton(QWidget* parent)
    : QLabel(parent), m_color{0x808080ff, 0xc0c0c0ff, 0x404040ff, 0x808080ff} {
    setContentsMargins(0, 0, 0, 0);
    setAutoFillBackground(true);
    QLabel::setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(174, 174, 174));
    setPalette(pal);
    // Tab reaches it; a mouse click leaves the focus where it was.
    setFocusPolicy(Qt::TabFocus);
    static const bool installed = (QAccessible::installFactory(buttonAccessible), true);
    (void)installed;
}

void MyPushButton::setCaption(const QString& text, spritemap::Tone tone, qreal pixelSize,
                              const QString& glyph) {
    m_caption = text;
    m_tone = tone;
    m_captionSize = pixelSize;
    m_glyph = glyph.isEmpty() ? QPixmap()
                              : skinPicture(QStringLiteral(":/images/glyph/%1.png").arg(glyph));
    update();
}

void MyPushButton::setChecked(bool checked) {
    if (m_checked == checked)
        return;
    m_checked = checked;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

QString MyPushButton::spokenName() const {
    if (!accessibleName().isEmpty())
        return accessibleName();
    if (!m_caption.isEmpty())
        return m_caption;
    return m_text;
}

void MyPushButton::click() {
    if (m_enabled && isEnabled())
        emit clicked();
}

void MyPushButton::setGeometry(int x, int y, int w, int h) {
    QLabel::setGeometry(x, y, w, h);
    layoutSubLabels();
    showLook(m_look);
}

void MyPushButton::SetPicture(const QString& normal, const QString& highlight,
                              const QString& pressed, const QString& disabled) {
    m_picPath[Normal] = normal;
    m_picPath[Highlight] = highlight;
    m_picPath[Pressed] = pressed;
    m_picPath[Disabled] = disabled;
    m_spriteMode = false;
    showLook(Normal);
}

void MyPushButton::setSprite(const QPixmap& sprite) {
    m_sprite = sprite;
    m_spriteMode = true;
    enableorNotShow();
}

void MyPushButton::setLookRects(const QRect& normal, const QRect& highlight, const QRect& pressed,
                                const QRect& disabled) {
    m_lookRect[Normal] = normal;
    m_lookRect[Highlight] = highlight;
    m_lookRect[Pressed] = pressed;
    m_lookRect[Disabled] = disabled;
    enableorNotShow();
}

void MyPushButton::setLookRect(Look look, const QRect& rect) {
    m_lookRect[look] = rect;
    if (look == m_look)
        showLook(m_look);
}

void MyPushButton::SetDefaultColor(unsigned normal, unsigned highlight, unsigned pressed,
                                   unsigned disabled) {
    m_color[Normal] = normal;
    m_color[Highlight] = highlight;
    m_color[Pressed] = pressed;
    m_color[Disabled] = disabled;
    showLook(m_look);
}

void MyPushButton::SetPicAlignFlags(int layout) {
    m_layout = layout;
    const bool withLabels = layout == 1 || layout == 2 || layout == 5;
    if (withLabels && !m_picLabel) {
        m_picLabel = new QLabel(this);
        m_textLabel = new QLabel(this);
        m_textLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        if (!m_text.isEmpty()) {
            m_textLabel->setText(m_text);
            QLabel::setText(QString());
        }
    } else if (!withLabels && m_picLabel && layout >= 0 && layout <= 5) {
        delete m_picLabel;
        delete m_textLabel;
        m_picLabel = m_textLabel = nullptr;
        QLabel::setText(m_text);
    }
    layoutSubLabels();
    enableorNotShow();
    SetMyFont(1);
}

void MyPushButton::layoutSubLabels() {
    if (!m_picLabel)
        return;
    const int w = width();
    const int h = height();
    switch (m_layout) {
    case 1:
        m_picLabel->setGeometry(0, 0, w / 4, h);
        m_textLabel->setGeometry(w / 4, 0, w - w / 4, h);
        break;
    case 2:
        m_textLabel->setGeometry(0, 0, w * 3 / 4, h);
        m_picLabel->setGeometry(w * 3 / 4, 0, w - w * 3 / 4, h);
        break;
    case 5:
        m_picLabel->setGeometry(0, 0, w, qMax(0, h - 20));
        m_textLabel->setGeometry(0, qMax(0, h - 20), w, 20);
        m_textLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        break;
    default:
        break;
    }
    m_picLabel->show();
    m_textLabel->show();
}

void MyPushButton::setText(const QString& text) {
    m_text = text;
    if (m_textLabel) {
        m_textLabel->setText(text);
        QLabel::setText(QString());
    } else {
        QLabel::setText(text);
    }
}

void MyPushButton::setTextAlignment(Qt::Alignment alignment) {
    QLabel::setAlignment(alignment);
    if (m_textLabel)
        m_textLabel->setAlignment(alignment);
}

void MyPushButton::setTextFont(const QFont& font) {
    QLabel::setFont(font);
    if (m_textLabel)
        m_textLabel->setFont(font);
}

void MyPushButton::SetMyFont(int value) {
    if (value == 1 && m_textLabel)
        m_textLabel->setStyleSheet(QStringLiteral("QLabel { color: white;font: 9px;}"));
}

void MyPushButton::setEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
    m_enabled = enabled;
    enableorNotShow();
}

void MyPushButton::enableorNotShow() { showLook(m_enabled ? Normal : Disabled); }

void MyPushButton::showLook(Look look) {
    m_look = look;
    QWidget* target = m_picLabel ? static_cast<QWidget*>(m_picLabel) : this;
    if (m_picPath[look].isEmpty() && !m_spriteMode) {
        setBackground(target, rgba(m_color[look]));
    } else {
        const QPixmap picture = m_spriteMode ? m_sprite : skinPicture(m_picPath[look]);
        const QRect whole(QPoint(0, 0), picture.deviceIndependentSize().toSize());
        const QRect piece = m_lookRect[look].isEmpty() ? whole : m_lookRect[look];
        const QPixmap cut = skinPiece(picture, piece);
        if (!cut.isNull() && target->width() > 0 && target->height() > 0) {
            // Keep the picture's pixel density so a 2x sheet stays sharp.
            const qreal dpr = picture.devicePixelRatio();
            QPixmap scaled =
                cut.scaled(target->size() * dpr, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            scaled.setDevicePixelRatio(dpr);
            setBackground(target, QBrush(scaled));
        }
    }
    if (m_layout == 0)
        setAutoFillBackground(false);
}

void MyPushButton::OtherMouseEnter() {
    if (m_enabled)
        showLook(Highlight);
}

void MyPushButton::OtherMouseLeave() {
    if (m_enabled)
        showLook(Normal);
}

void MyPushButton::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    if (!m_enabled)
        return;
    showLook(Highlight);
    emit enterButton();
}

void MyPushButton::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (!m_enabled)
        return;
    showLook(Normal);
    emit leaveButton();
}

void MyPushButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (!m_enabled)
        return;
    showLook(Pressed);
    emit Pressclicked();
}

void MyPushButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!m_enabled)
        return;
    showLook(Normal);
    emit clicked();
}

void MyPushButton::keyPressEvent(QKeyEvent* event) {
    if (!isPressKey(event->key()) || event->modifiers() & ~Qt::KeypadModifier) {
        QLabel::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || !m_enabled)
        return;
    showLook(Pressed);
}

void MyPushButton::keyReleaseEvent(QKeyEvent* event) {
    if (!isPressKey(event->key()) || event->modifiers() & ~Qt::KeypadModifier) {
        QLabel::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || !m_enabled)
        return;
    showLook(underMouse() ? Highlight : Normal);
    emit clicked();
}

void MyPushButton::focusInEvent(QFocusEvent* event) {
    QLabel::focusInEvent(event);
    update();
}

void MyPushButton::focusOutEvent(QFocusEvent* event) {
    QLabel::focusOutEvent(event);
    update();
}

void MyPushButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (m_caption.isEmpty() && !hasFocus())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!m_caption.isEmpty()) {
        const QColor ink = QColor::fromRgba(spritemap::captionRgb(m_tone, m_look));
        QFont f = font();
        f.setBold(m_tone != spritemap::Tone::Link);
        f.setUnderline(m_tone == spritemap::Tone::Link && m_look != Normal);
        const qreal glyphSize = m_glyph.isNull() ? 0 : qRound(m_captionSize * 1.25);
        const qreal gap = m_glyph.isNull() ? 0 : 8;
        const qreal room = width() - 12 - glyphSize - gap;
        // Longer words (other languages) get a smaller size, never cut.
        qreal size = m_captionSize;
        f.setPixelSize(qRound(size));
        while (size > 9 && QFontMetricsF(f).horizontalAdvance(m_caption) > room) {
            size -= 0.5;
            f.setPixelSize(qRound(size));
        }
        const QFontMetricsF fm(f);
        const qreal wide = glyphSize + gap + fm.horizontalAdvance(m_caption);
        qreal x = m_captionAlign & Qt::AlignLeft ? 0 : (width() - wide) / 2;
        const qreal mid = height() / 2.0 + (m_look == Pressed ? 1 : 0);
        if (glyphSize > 0) {
            // The glyph is white on clear: tinted to the words' colour.
            const qreal dpr = m_glyph.devicePixelRatio();
            QPixmap tinted(m_glyph.size());
            tinted.setDevicePixelRatio(dpr);
            tinted.fill(Qt::transparent);
            QPainter t(&tinted);
            t.drawPixmap(0, 0, m_glyph);
            t.setCompositionMode(QPainter::CompositionMode_SourceIn);
            t.fillRect(QRect(QPoint(0, 0), m_glyph.deviceIndependentSize().toSize()), ink);
            t.end();
            p.drawPixmap(QRectF(x, mid - glyphSize / 2, glyphSize, glyphSize), tinted,
                         QRectF(QPointF(0, 0), QSizeF(m_glyph.size())));
            x += glyphSize + gap;
        }
        p.setFont(f);
        p.setPen(ink);
        p.drawText(QPointF(x, mid + (fm.ascent() - fm.descent()) / 2), m_caption);
    }
    if (hasFocus()) {
        // Dark outside, white inside: seen on light pages and blue buttons alike.
        const QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
        const qreal radius = qMin<qreal>(8, ring.height() / 2);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor::fromRgba(spritemap::kFocusRgb), 2));
        p.drawRoundedRect(ring, radius, radius);
        p.setPen(QPen(Qt::white, 1));
        p.drawRoundedRect(ring.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
    }
}

void MyPushButton::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    layoutSubLabels();
    showLook(m_look);
}
