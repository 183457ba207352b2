// The question for an encrypted backup's password, in the program's dialog
// style. OK unlocks the backup on a thread of its own (deriving the key takes
// seconds) while the dialog says "Unlocking the backup..."; a wrong password
// is said so and asked again; the dialog is accepted only once the backup is
// unlocked. Cancel rejects it.
// For an iPhone that encrypts its backups the dialog only takes the password
// (there is no backup yet to try it on): OK accepts, and the job hands it on
// to the backup it takes.
#pragma once

#include <QDialog>
#include <QPixmap>

#include <atomic>
#include <string>
#include <thread>

#include "TransferOutcome.h"

class MyPushButton;
class QLabel;
class QLineEdit;

class PasswordDialog : public QDialog {
    Q_OBJECT
  public:
    // backupIndex: the backup's position in the backup reader's listing.
    PasswordDialog(int backupIndex, const QString& backupName, QWidget* parent = nullptr);
    // An iPhone whose backups are encrypted: the password is kept for
    // takePassword().
    PasswordDialog(const QString& phoneName, QWidget* parent = nullptr);
    ~PasswordDialog() override;

    // The password taken for an iPhone (empty after a backup's unlock);
    // the dialog's own copy is wiped.
    std::string takePassword();

    void centreOn(const QWidget* over);
    bool unlocking() const { return m_worker.joinable() && !m_done.load(); }
    QString statusText() const;

  public slots:
    void reject() override;

  private slots:
    void ok_Button_slots();
    void cancel_Button_slots();
    // Queued by the unlocking thread when it is done: joins it, then shows
    // the outcome it left in m_unlockResult.
    void unlockArrived();

  private:
    void unlockFinished(kestrova::Reason why);
    void applySkin();
    void build(const QString& question);

    int m_index;
    QLabel* m_icon;
    QLabel* m_text;
    QLineEdit* m_edit;
    QLabel* m_status;
    MyPushButton* m_okButton;
    MyPushButton* m_cancelButton;
    QPixmap m_okPicture;
    QPixmap m_cancelPicture;
    QPixmap m_iconPicture;
    std::thread m_worker;
    std::atomic<bool> m_done{false};
    kestrova::Reason m_unlockResult = kestrova::Reason::None; // the thread's, until joined
    std::string m_password;                                   // taken for an iPhone (m_index < 0)
};
