// The strip across the top of the main window: the program's name and line
// (live text over the drawn mark), the version label and the Help menu, whose entries open the
// documents shipped with the program.
#pragma once

#include <QWidget>

class QLabel;
class QMenu;
class QMenuBar;

class topCtrlWidget : public QWidget {
    Q_OBJECT
  public:
    explicit topCtrlWidget(QWidget* parent = nullptr);
    ~topCtrlWidget() override;
    void setGeometry(int x, int y, int w, int h);
    QMenu* helpMenu() const { return m_helpMenu; }
    QWidget* helpButton() const { return m_helpButton; }

  public slots:
    void slots_helpAction();
    void slots_supportAction();
    void slots_AboutAction();

  private:
    void topCtrlWidgetLayout();

    QLabel* m_name;
    QLabel* m_tagline;
    QLabel* m_version;
    QMenuBar* m_menuBar;
    QMenu* m_helpMenu;
    QWidget* m_helpButton;
};
