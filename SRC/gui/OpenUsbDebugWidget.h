// The page shown when an Android phone does not have USB debugging on. Its
// picture carries the steps; the link opens the longer shipped guide, the
// next button sends the page away until a retry or a new phone.
#pragma once

#include <QWidget>

class MyPushButton;

class OpenUsbDebugWidget : public QWidget {
    Q_OBJECT
  public:
    explicit OpenUsbDebugWidget(QWidget* parent = nullptr);
    void setGeometry(int x, int y, int w, int h);

    bool m_dismissed = false;

  public slots:
    void slots_debugNotFoundButton();
    void slots_openedNextButton();

  protected:
    // The page covers the panes: the keyboard starts on its Next.
    void showEvent(QShowEvent* event) override;

  private:
    MyPushButton* m_linkButton;
    MyPushButton* m_nextButton;
};
