// The single-choice list in which the user picks an iTunes backup. Rows are
// kept once made and reused after clear(), so a row pointer stays valid for
// the list's life. The list takes the keyboard focus as one control (a ring
// shows it); the arrow keys choose the previous or next backup.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QScrollArea;

class MyListWidgetItem : public QWidget {
    Q_OBJECT
  public:
    explicit MyListWidgetItem(QWidget* parent = nullptr);

    void setGeometry(int x, int y, int w, int h);
    void setValues(const QString& title, const QString& subtitle, const QString& data);
    const QString& data() const { return m_data; }
    QString title() const;
    bool isChecked() const;
    void setChecked(bool checked);
    QCheckBox* checkBox() const { return m_checkBox; }

  signals:
    void clickedChange(MyListWidgetItem* item);

  private slots:
    void m_checkBox_slots();

  private:
    QCheckBox* m_checkBox;
    QLabel* m_title;
    QLabel* m_subtitle;
    QString m_data;
};

class MyListWidget : public QWidget {
    Q_OBJECT
  public:
    explicit MyListWidget(QWidget* parent = nullptr);

    void setGeometry(int x, int y, int w, int h);
    void addItemToList(const QString& title, const QString& subtitle, const QString& data);
    void flushItemListShow();
    void clear();
    int shownCount() const { return m_shown; }
    // The data of the checked row, or an empty text.
    QString checkedData() const;
    const QList<MyListWidgetItem*>& rows() const { return m_items; }

  signals:
    void ItemlistChange();

  public slots:
    void ItemlistStateChange(MyListWidgetItem* item);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QScrollArea* m_scroll;
    QWidget* m_inner;
    QList<MyListWidgetItem*> m_items;
    int m_shown = 0;
};
