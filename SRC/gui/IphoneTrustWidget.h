// The page shown while an iPhone is locked or has not yet been told to
// trust this computer: what to do on the phone, and Retry.
#pragma once

#include <QWidget>

class MyPushButton;
class QLabel;

class IphoneTrustWidget : public QWidget {
    Q_OBJECT
  public:
    explicit IphoneTrustWidget(QWidget* parent = nullptr);
    void setGeometry(int x, int y, int w, int h);
    // The line under the title: why the phone does not answer yet.
    void setReason(const QString& text);

    bool m_dismissed = false;

  signals:
    void retry();

  public slots:
    void slots_retryButton();

  protected:
    // The page covers the panes: the keyboard starts on its Retry.
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_title;
    QLabel* m_reason;
    QLabel* m_steps;
    MyPushButton* m_retryButton;
};
