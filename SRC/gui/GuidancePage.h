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

  protected:
    // The page covers the panes: the keyboard starts on its Retry.
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* m_card;
    QLabel* m_title;
    QLabel* m_intro;
    std::vector<std::pair<QLabel*, QLabel*>> m_steps; // badge, text
    MyPushButton* m_retry;
};

// "No permissions": adb sees the phone, but this computer may not open it.
GuidancePage* makeUsbPermissionPage(QWidget* parent);

// The words of the pictured guidance pages (929 x 490, a drawn card with a
// phone on its right), laid over the picture as live text.
namespace guidance {

// A label at where, in the page's pixels; style is its style sheet.
QLabel* addText(QWidget* page, const QRect& where, const QString& text, const QString& style,
                Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop);

// The card's title, explanation and numbered steps, where the picture
// leaves room for them (left of the phone).
void addPageTexts(QWidget* page, const QString& title, const QString& intro,
                  const std::vector<GuidancePage::Step>& steps);

} // namespace guidance
