// The small modal dialog of a transfer: the end of the copy (mode 0), the
// question before a cancel (mode 1), and the countdown while the destination
// phone's user is asked to accept the program as its SMS app (mode 2).
#pragma once

#include <QDialog>
#include <QPixmap>

class MyPushButton;
class QLabel;

class CompleteDialog : public QDialog {
    Q_OBJECT
  public:
    enum Mode { Completed = 0, CancelQuestion = 1, SmsCountdown = 2 };

    explicit CompleteDialog(QWidget* parent = nullptr);

    void setGeometry(int x, int y, int w, int h);
    void setShowBackup(int mode);
    void updateShowText(int seconds);
    // Mode 0's text: whether everything arrived and, when not, which kinds
    // fell short and why (one line each).
    void setCompletionText(bool everythingArrived, const QStringList& shortfalls);
    // Centres the dialog on the widget (the main window).
    void centreOn(const QWidget* over);

    int mode() const { return m_mode; }
    int result() const { return m_result; }
    QString text() const;

    QPixmap m_okPicture;
    QPixmap m_iconPicture;
    QPixmap m_cancelPicture;

  public slots:
    void ok_Button_slots();
    void cancel_Button_slots();
    void reject() override;

  private:
    void applySkin();

    QLabel* m_icon;
    QLabel* m_text;
    MyPushButton* m_okButton;
    MyPushButton* m_cancelButton;
    int m_mode = 0;
    int m_result = 0;
};
