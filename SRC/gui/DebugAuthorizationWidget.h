// The page shown while an Android phone waits for its user to allow USB
// debugging from this computer. The picture carries the instructions.
#pragma once

#include <QWidget>

class MyPushButton;

class DebugAuthorizationWidget : public QWidget {
    Q_OBJECT
  public:
    explicit DebugAuthorizationWidget(QWidget* parent = nullptr);
    void setGeometry(int x, int y, int w, int h);

    bool m_dismissed = false;

  public slots:
    void slots_okNextButton();

  protected:
    // The page covers the panes: the keyboard starts on its Retry.
    void showEvent(QShowEvent* event) override;

  private:
    MyPushButton* m_nextButton;
};
