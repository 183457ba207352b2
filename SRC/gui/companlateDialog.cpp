#include "companlateDialog.h"
#include "skinning.h"

#include "MyPushButton.h"

#include <QBitmap>
#include <QLabel>
#include <QPainter>

#include "spritemap.h"

CompleteDialog::CompleteDialog(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {
    setObjectName(QStringLiteral("completeDialog"));
    const QPixmap sheet = skinPicture(QStringLiteral(":/images/publicImage.png"));
    m_okPicture = skinPiece(sheet, spritemap::pub::kOk.whole());
    m_cancelPicture = skinPiece(sheet, spritemap::pub::kCancel.whole());
    m_iconPicture = skinPiece(sheet, spritemap::pub::kDialogIcon);

    m_icon = new QLabel(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("completeDialogText"));
    m_text->setWordWrap(true);
    m_text->setStyleSheet(QStringLiteral("QLabel{color:#2d383f;font:15px;}"));
    m_text->setGeometry(138, 54, 300, 60);
    m_okButton = new MyPushButton(this);
    m_okButton->setObjectName(QStringLiteral("completeDialogOk"));
    m_okButton->setCaption(tr("OK"), spritemap::Tone::Primary, 14);
    m_cancelButton = new MyPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("completeDialogCancel"));
    m_cancelButton->setCaption(tr("Cancel"), spritemap::Tone::Outline, 14);
    m_cancelButton->hide();
    connect(m_okButton, &MyPushButton::clicked, this, &CompleteDialog::ok_Button_slots);
    connect(m_cancelButton, &MyPushButton::clicked, this, &CompleteDialog::cancel_Button_slots);
    setGeometry(0, 0, 509, 250);
}

void CompleteDialog::setGeometry(int x, int y, int w, int h) {
    QDialog::setGeometry(x, y, w, h);
    m_icon->setGeometry(45, 40, 63, 58);
    // With two buttons the pair is centred; alone, OK is.
    const int okX = m_mode == CancelQuestion ? (w - 256) / 2 : (w - 126) / 2;
    m_okButton->setGeometry(okX, 163, 126, 34);
    m_cancelButton->setGeometry(okX + 130, 163, 126, 34);
    applySkin();
}

void CompleteDialog::applySkin() {
    setScaledBackground(this, skinPicture(QStringLiteral(":/images/alldialog.png")));
    setScaledBackground(m_icon, m_iconPicture);
    const spritemap::Strip ok{0, 0, 126, 34, 34};
    for (MyPushButton* button : {m_okButton, m_cancelButton}) {
        button->setSprite(button == m_okButton ? m_okPicture : m_cancelPicture);
        button->setLookRects(ok.look(0), ok.look(1), ok.look(2), ok.look(3));
    }
    // A rounded shape, as the progress window has.
    applyRoundedMask(this, 6);
}

void CompleteDialog::setShowBackup(int mode) {
    m_text->setGeometry(138, 54, 300, 60);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_cancelButton->hide();
    m_okButton->show();
    m_mode = mode;
    m_result = 0;
    m_okButton->setCaption(tr("OK"), spritemap::Tone::Primary, 14);
    m_cancelButton->setCaption(tr("Cancel"), spritemap::Tone::Outline, 14);
    // Enter or Space answers with the button that has the focus.
    m_okButton->setFocus();
    switch (mode) {
    case SmsCountdown:
        m_okButton->hide();
        updateShowText(60);
        break;
    case CancelQuestion:
        m_text->setText(tr("Do you want to cancel the transfer?"));
        m_okButton->setCaption(tr("Stop copy"), spritemap::Tone::Primary, 14);
        m_cancelButton->setCaption(tr("Go on"), spritemap::Tone::Outline, 14);
        // Two buttons side by side, centred together.
        m_okButton->move((width() - 256) / 2, 163);
        m_cancelButton->move((width() - 256) / 2 + 130, 163);
        m_cancelButton->show();
        // The safe answer has the focus: an Enter too many keeps the copy.
        m_cancelButton->setFocus();
        setTabOrder(m_cancelButton, m_okButton);
        return;
    case Completed:
        m_text->setText(tr("Transfer Completed."));
        break;
    default:
        break;
    }
    m_okButton->move((width() - 126) / 2, 163);
}

void CompleteDialog::updateShowText(int seconds) {
    if (m_mode != SmsCountdown)
        return;
    m_text->setText(tr("Please click \"Yes\" on your destination phone, \nor the program will "
                       "skip copying SMS in %1 seconds.")
                        .arg(seconds));
    m_text->setGeometry(138, 54, 300, 140);
    // From the top, so three lines stay above the button band.
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CompleteDialog::setCompletionText(bool everythingArrived, const QStringList& shortfalls) {
    if (everythingArrived) {
        m_text->setText(tr("Transfer Completed.\nEverything arrived on the destination phone."));
        m_text->setGeometry(138, 54, 350, 60);
        return;
    }
    // Five lines fit above the button band; the rest stay listed in the
    // progress window behind the dialog.
    constexpr int kLines = 4;
    QString text = tr("Transfer finished, but not everything arrived:");
    const int shown = shortfalls.size() > kLines ? kLines - 1 : int(shortfalls.size());
    for (int i = 0; i < shown; ++i)
        text += QLatin1Char('\n') + shortfalls[i];
    if (shown < shortfalls.size())
        text += QLatin1Char('\n') +
                tr("and %1 more, listed in the progress window.").arg(shortfalls.size() - shown);
    m_text->setText(text);
    m_text->setGeometry(138, 30, 340, 128);
}

void CompleteDialog::centreOn(const QWidget* over) {
    const QRect frame = over ? over->geometry() : QRect(0, 0, 509, 250);
    setGeometry(frame.x() + (frame.width() - 509) / 2, frame.y() + (frame.height() - 250) / 2, 509,
                250);
}

QString CompleteDialog::text() const { return m_text->text(); }

void CompleteDialog::ok_Button_slots() {
    m_result = 1;
    done(QDialog::Accepted);
    hide();
}

// Esc: "Go on" for the question, "OK" for the end of the copy; the SMS
// countdown ends by itself and is not sent away.
void CompleteDialog::reject() {
    if (m_mode == CancelQuestion)
        cancel_Button_slots();
    else if (m_mode == Completed)
        ok_Button_slots();
}

void CompleteDialog::cancel_Button_slots() {
    m_result = 0;
    done(QDialog::Rejected);
    hide();
}
