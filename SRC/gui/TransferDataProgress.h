// The progress window of a transfer job: one bar, and one row per ticked kind
// with its counts and, once done, what became of it. It never calls the job;
// the main window's timer calls flush_progress(), which reads the job's
// counters. It owns the dialog for the end of the copy, the cancel question
// and the SMS countdown.
#pragma once

#include <optional>

#include "kind.h"

#include <QDialog>
#include <QPixmap>

#include "progressmath.h"

class CompleteDialog;
class MyPushButton;
class QLabel;
class QMovie;
class QProgressBar;
class TransferDoingThread;

class TransferProgressWidget : public QDialog {
    Q_OBJECT
  public:
    explicit TransferProgressWidget(QWidget* parent = nullptr);
    ~TransferProgressWidget() override;

    void setGeometry(int x, int y, int w, int h);
    void setJob(TransferDoingThread* job) { m_job = job; }
    void flush_progress();
    void flush_progress_android2android();
    void flush_progress_iphone2android();
    void flush_progress_itunes2android();
    // End of a job that was not stopped: the completion dialog, then hide.
    void todoingfinised();
    void changedefaultsmsShow();
    CompleteDialog* dialog() const { return m_dialog; }
    int barValue() const;

    QPixmap m_closePicture;
    QPixmap m_iconPicture;
    QPixmap m_cancelPicture;

  public slots:
    void close_Button_slots();
    void cancel_Button_slots();
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void refreshRows();
    void refreshBar();
    void applySkin();
    QStringList shortfalls() const;

    TransferDoingThread* m_job = nullptr;
    QLabel* m_title;
    MyPushButton* m_closeButton;
    QLabel* m_icon;
    QLabel* m_message;
    QProgressBar* m_bar;
    MyPushButton* m_cancelButton;
    QWidget* m_rowArea;
    // One row per ticked kind, in order.
    QLabel* m_rowNames[kestrova::kKindCount];
    QLabel* m_rowStates[kestrova::kKindCount];
    QLabel* m_rowSpinners[kestrova::kKindCount];
    QMovie* m_movie;
    progressmath::BarState m_barState;
    std::optional<kestrova::Kind> m_lastKind;
    int64_t m_lastCurrent = -1;
    CompleteDialog* m_dialog;
};
