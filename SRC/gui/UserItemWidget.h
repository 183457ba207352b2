// One tile of the category checklist: the kind's picture, its name and a
// tick mark. Clicking the picture or the tick toggles the choice.
#pragma once

#include <QWidget>

class MyPushButton;
class QLabel;

class UserItemWidget : public QWidget {
    Q_OBJECT
  public:
    explicit UserItemWidget(QWidget* parent = nullptr);

    void setGeometry(int x, int y, int w, int h);
    void setMyText(const QString& text);
    // How much the source holds of the kind, below its name ("" while unknown).
    void setCountText(const QString& text);
    QString countText() const;
    // A disabled tile is never ticked.
    void setMyEnabled(bool enabled);
    bool isTicked() const { return m_ticked; }
    void setTicked(bool ticked);
    MyPushButton* pictureButton() const { return m_picButton; }

  public slots:
    void m_picbutton_slots();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    MyPushButton* m_picButton;
    QLabel* m_name;
    QLabel* m_count;
    MyPushButton* m_tick;
    bool m_ticked = false;
};
