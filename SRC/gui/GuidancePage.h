// A guidance page drawn as live text in the look of the pictured ones: a
// white card with a title, a short explanation and numbered steps, and a
// Retry button under it. Its texts go through the translation system like
// every other text of the windows.
#pragma once

#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

class MyPushButton;
class QLabel;

class GuidancePage : public QWidget {
    Q_OBJECT
  public:
    struct Step {
        QString heading;
        QString detail;
    };
    GuidancePage(const QString& name, const QString& title, const QString& intro,
                 const std::vector<Step>& steps, QWidget* parent = nullptr);
    void setGeometry(int x, int y, int w, int h);

    // Set by Retry: the page stays away until the pane's own retry.
    bool m_dismissed = false;

  public slots:
    void slots_retry();

  private:
    QWidget* m_card;
    QLabel* m_title;
    QLabel* m_intro;
    std::vector<std::pair<QLabel*, QLabel*>> m_steps; // badge, text
    MyPushButton* m_retry;
};

// "No permissions": adb sees the phone, but this computer may not open it.
GuidancePage* makeUsbPermissionPage(QWidget* parent);
