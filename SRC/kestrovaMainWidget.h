// The program's main window. For now it shows the window's frame, background
// and the two empty panes; the panes' behaviour comes with the device code.
#pragma once

#include <QWidget>

class KestrovaMainWidget : public QWidget {
    Q_OBJECT
  public:
    explicit KestrovaMainWidget(QWidget* parent = nullptr);
    ~KestrovaMainWidget() override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void addWaitingPane(int x, const QString& title, const QString& message);
    void applyBackground();
};
