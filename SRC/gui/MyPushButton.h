// A picture button with four looks (normal, highlight, pressed, disabled),
// cut from one sprite or loaded from four picture files, with a plain colour
// for each look when there is no picture. Its words (and a glyph beside them)
// are drawn live over the picture in the colour of the look, so they follow
// the user's language. It takes the keyboard focus with Tab, shows a ring
// while it has it, and is pressed with Space or Enter; screen readers see a
// button (or a check box, when checkable) named by its words.
#pragma once

#include "spritemap.h"

#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QString>

class MyPushButton : public QLabel {
    Q_OBJECT
  public:
    enum Look { Normal = 0, Highlight = 1, Pressed = 2, Disabled = 3 };

    explicit MyPushButton(QWidget* parent = nullptr);

    void setGeometry(int x, int y, int w, int h);
    void SetPicture(const QString& normal, const QString& highlight, const QString& pressed,
                    const QString& disabled);
    // Sprite mode: the four looks are pieces of one picture.
    void setSprite(const QPixmap& sprite);
    void SetnormalPicRect(int x, int y, int w, int h) { setLookRect(Normal, QRect(x, y, w, h)); }
    void SethighlightPicRect(int x, int y, int w, int h) {
        setLookRect(Highlight, QRect(x, y, w, h));
    }
    void SetclickPicRect(int x, int y, int w, int h) { setLookRect(Pressed, QRect(x, y, w, h)); }
    void SetdisablePicRect(int x, int y, int w, int h) { setLookRect(Disabled, QRect(x, y, w, h)); }
    // All four look rectangles at once.
    void setLookRects(const QRect& normal, const QRect& highlight, const QRect& pressed,
                      const QRect& disabled);
    void SetDefaultColor(unsigned normal, unsigned highlight, unsigned pressed, unsigned disabled);
    void SetPicAlignFlags(int layout);
    void setText(const QString& text);
    void setTextAlignment(Qt::Alignment alignment);
    void setTextFont(const QFont& font);
    void SetMyFont(int value);
    void setEnabled(bool enabled);
    // Words drawn over the picture at pixelSize (bold unless a link), with
    // an optional glyph (":/images/glyph/<name>.png") before them. They
    // are also the button's accessible name unless one is set.
    void setCaption(const QString& text, spritemap::Tone tone, qreal pixelSize,
                    const QString& glyph = QString());
    QString caption() const { return m_caption; }
    void setCaptionAlignment(Qt::Alignment alignment) { m_captionAlign = alignment; }
    // A checkable button reads as a check box to screen readers.
    void setCheckable(bool checkable) { m_checkable = checkable; }
    bool isCheckable() const { return m_checkable; }
    void setChecked(bool checked);
    bool isChecked() const { return m_checked; }
    // What screen readers and tests call the button: its accessible name,
    // or else its caption, or else its text.
    QString spokenName() const;
    // As a press of the mouse or the keyboard: clicked() when enabled.
    void click();
    void OtherMouseEnter();
    void OtherMouseLeave();

    // The look shown now; for tests and for widgets that mirror it.
    Look currentLook() const { return m_look; }
    QString buttonText() const { return m_text; }

  signals:
    void clicked();
    void Pressclicked();
    void enterButton();
    void leaveButton();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void setLookRect(Look look, const QRect& rect);
    void showLook(Look look);
    void enableorNotShow();
    void layoutSubLabels();

    QString m_picPath[4];
    bool m_enabled = true;
    QPixmap m_sprite;
    bool m_spriteMode = false;
    QRect m_lookRect[4];
    unsigned m_color[4];
    int m_layout = 3;
    QLabel* m_picLabel = nullptr;
    QLabel* m_textLabel = nullptr;
    QString m_text;
    Look m_look = Normal;
    QString m_caption;
    QPixmap m_glyph;
    spritemap::Tone m_tone = spritemap::Tone::Primary;
    qreal m_captionSize = 14;
    Qt::Alignment m_captionAlign = Qt::AlignCenter;
    bool m_checkable = false;
    bool m_checked = false;
};
