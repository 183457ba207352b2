// "kestrova --screenshots DIR": the program shows what it looks like without
// anyone at the screen. It waits for the phones to fill both panes, then saves
// pictures of the window, both guidance pages, a short copy (Contacts and
// Photos) with its progress window and completion dialog, and backup mode,
// and quits. Used on machines without a display, on the offscreen platform.
#pragma once

#include <QDir>
#include <QObject>
#include <QStringList>

class QTimer;
class QWidget;

class ScreenshotTour : public QObject {
    Q_OBJECT
  public:
    ScreenshotTour(QWidget* window, const QString& folder, QObject* parent = nullptr);
    void start();
    QStringList saved() const { return m_saved; }

  signals:
    // 0 when every picture was taken, 1 when a step did not come about in time.
    void finished(int code);

  private:
    void tick();
    bool visible(const char* name) const;
    void save(const QString& name, QWidget* what);
    void advance(int next, int boundMs);
    // True while the step must wait: its screen is not there yet (the tour
    // ends with why once the step's time is up), or it has not yet stood for
    // settleTicks ticks.
    bool notYet(bool ready, const char* why, int settleTicks = 0);
    void finish(int code, const char* why = nullptr);

    QWidget* m_window;
    QDir m_folder;
    QTimer* m_timer;
    int m_step = 0;
    int m_settle = 0;
    qint64 m_deadline = 0;
    QStringList m_saved;
};
