#include "PasswordDialog.h"

#include <QLabel>
#include <QLineEdit>

#include <cstring>
#include <string>

#include "MyPushButton.h"
#include "backup_unlock.h"
#include "job_request.h"
#include "skinning.h"
#include "spritemap.h"

namespace {
constexpr int kWidth = 509;
constexpr int kHeight = 250;
} // namespace

PasswordDialog::PasswordDialog(int backupIndex, const QString& backupName, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowSystemMenuHint), m_index(backupIndex) {
    build(tr("The backup \"%1\" is encrypted.\nEnter the password that was set for it:")
              .arg(backupName));
}

PasswordDialog::PasswordDialog(const QString& phoneName, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowSystemMenuHint), m_index(-1) {
    build(tr("The iPhone \"%1\" encrypts its backups.\nEnter its backup password to copy "
             "contacts, messages, calls and calendar:")
              .arg(phoneName));
}

std::string PasswordDialog::takePassword() {
    std::string out = m_password;
    kestrova::wipeSecret(&m_password);
    return out;
}

void PasswordDialog::build(const QString& question) {
    setObjectName(QStringLiteral("passwordDialog"));
    const QPixmap sheet = skinPicture(QStringLiteral(":/images/publicImage.png"));
    m_okPicture = skinPiece(sheet, spritemap::pub::kOk.whole());
    m_cancelPicture = skinPiece(sheet, spritemap::pub::kCancel.whole());
    m_iconPicture = skinPiece(sheet, spritemap::pub::kDialogIcon);

    m_icon = new QLabel(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("passwordDialogText"));
    m_text->setWordWrap(true);
    m_text->setStyleSheet(QStringLiteral("QLabel{color:#2d383f;font:15px;}"));
    m_text->setText(question);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("passwordEdit"));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setAccessibleName(tr("Backup password"));
    m_edit->setStyleSheet(QStringLiteral("QLineEdit{color:#2d383f;font:15px;border:1px solid "
                                         "#b5c1c9;border-radius:3px;padding:2px 6px;"
                                         "background:#ffffff;}"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("passwordStatus"));
    m_status->setStyleSheet(QStringLiteral("QLabel{color:#2d383f;font:13px;}"));
    m_okButton = new MyPushButton(this);
    m_okButton->setObjectName(QStringLiteral("passwordDialogOk"));
    m_okButton->setCaption(tr("OK"), spritemap::Tone::Primary, 14);
    m_cancelButton = new MyPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("passwordDialogCancel"));
    m_cancelButton->setCaption(tr("Cancel"), spritemap::Tone::Outline, 14);
    connect(m_okButton, &MyPushButton::clicked, this, &PasswordDialog::ok_Button_slots);
    connect(m_cancelButton, &MyPushButton::clicked, this, &PasswordDialog::cancel_Button_slots);
    connect(m_edit, &QLineEdit::returnPressed, this, &PasswordDialog::ok_Button_slots);

    setGeometry(0, 0, kWidth, kHeight);
    m_icon->setGeometry(45, 40, 63, 58);
    m_text->setGeometry(138, 30, 340, 50);
    m_edit->setGeometry(138, 88, 320, 30);
    m_status->setGeometry(138, 124, 340, 28);
    m_okButton->setGeometry((kWidth - 256) / 2, 163, 126, 34);
    m_cancelButton->setGeometry((kWidth - 256) / 2 + 130, 163, 126, 34);
    applySkin();
    m_edit->setFocus();
}

PasswordDialog::~PasswordDialog() {
    kestrova::wipeSecret(&m_password);
    // The derivation cannot be cut short; it ends by itself.
    if (m_worker.joinable())
        m_worker.join();
}

void PasswordDialog::applySkin() {
    setScaledBackground(this, skinPicture(QStringLiteral(":/images/alldialog.png")));
    setScaledBackground(m_icon, m_iconPicture);
    const spritemap::Strip strip{0, 0, 126, 34, 34};
    for (MyPushButton* button : {m_okButton, m_cancelButton}) {
        button->setSprite(button == m_okButton ? m_okPicture : m_cancelPicture);
        button->setLookRects(strip.look(0), strip.look(1), strip.look(2), strip.look(3));
    }
    applyRoundedMask(this, 6);
}

void PasswordDialog::centreOn(const QWidget* over) {
    const QRect frame = over ? over->geometry() : QRect(0, 0, kWidth, kHeight);
    move(frame.x() + (frame.width() - kWidth) / 2, frame.y() + (frame.height() - kHeight) / 2);
}

QString PasswordDialog::statusText() const { return m_status->text(); }

void PasswordDialog::ok_Button_slots() {
    if (unlocking() || m_edit->text().isEmpty())
        return;
    if (m_worker.joinable())
        m_worker.join();
    QByteArray utf8 = m_edit->text().toUtf8();
    m_edit->clear();
    std::string password(utf8.constData(), static_cast<size_t>(utf8.size()));
    explicit_bzero(utf8.data(), static_cast<size_t>(utf8.size()));
    if (m_index < 0) {
        m_password = std::move(password);
        done(QDialog::Accepted);
        hide();
        return;
    }
    m_edit->setEnabled(false);
    m_okButton->setEnabled(false);
    m_cancelButton->setEnabled(false);
    m_status->setStyleSheet(QStringLiteral("QLabel{color:#2d383f;font:13px;}"));
    m_status->setText(tr("Unlocking the backup..."));
    m_done = false;
    m_worker = std::thread([this, index = m_index, password = std::move(password)]() mutable {
        m_unlockResult = kestrova::unlockBackup(index, std::move(password));
        m_done = true;
        // By name, with nothing to carry: the outcome waits in m_unlockResult,
        // and the slot joins this thread before it reads it.
        QMetaObject::invokeMethod(this, "unlockArrived", Qt::QueuedConnection);
    });
}

void PasswordDialog::unlockArrived() {
    if (m_worker.joinable())
        m_worker.join();
    unlockFinished(m_unlockResult);
}

void PasswordDialog::unlockFinished(kestrova::Reason why) {
    if (why == kestrova::Reason::None) {
        done(QDialog::Accepted);
        hide();
        return;
    }
    m_edit->setEnabled(true);
    m_okButton->setEnabled(true);
    m_cancelButton->setEnabled(true);
    m_edit->setFocus();
    m_status->setStyleSheet(QStringLiteral("QLabel{color:#d0392b;font:13px;}"));
    m_status->setText(why == kestrova::Reason::WrongPassword
                          ? tr("Wrong password. Please try again.")
                          : tr("This backup cannot be unlocked: it is damaged."));
}

// Esc: as Cancel, and likewise ignored while the backup is being unlocked.
void PasswordDialog::reject() { cancel_Button_slots(); }

void PasswordDialog::cancel_Button_slots() {
    if (unlocking())
        return;
    done(QDialog::Rejected);
    hide();
}
