// One virtual lab and the program's real main window in this test process:
// the lab's variables become this process's environment before the window
// (and so the libraries) start, and modal dialogs are answered by a hook.
// ctest runs each test in a process of its own; run as one process, the
// tests also follow each lab in turn (the libraries take the new addresses).
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>

#include "lab_session.h"

class KestrovaMainWidget;
class QDialog;
class QLabel;
class QWidget;

class LabWindow {
  public:
    LabWindow(const QStringList& labArguments, const QString& screenshotFolder);
    ~LabWindow();

    bool ready() const { return m_lab && m_lab->ready(); }
    QString error() const { return m_lab ? m_lab->startError() : QString(); }
    LabSession& lab() { return *m_lab; }
    // Creates and shows the main window.
    KestrovaMainWidget* open();
    KestrovaMainWidget* window() const { return m_window.get(); }

    QWidget* widget(const char* name) const;
    QString text(const char* name) const;
    bool visible(const char* name) const;
    bool enabled(const char* name) const;
    QString shot(const QString& name, QWidget* what = nullptr) const;

    // Ticks exactly the given categories (0 to 7) by clicking their pictures.
    void tick(std::initializer_list<int> kinds);

    // Every modal dialog goes to answer; the default shows it and returns 0.
    void answerModals(std::function<int(QDialog*)> answer);

    // The lab phone (0, 1, ...) whose serial is serial, or -1.
    int labPhone(const char* serial) const;

    // Starts a virtual iPhone beside the lab ("relay=ios7,ios=7" and the like
    // join its --phone settings) and points this process's iPhone library at
    // it. Call before open().
    bool startIphone(const QString& options);
    QString iphoneRoot() const;

  private:
    std::unique_ptr<LabSession> m_lab;
    std::unique_ptr<KestrovaMainWidget> m_window;
    QString m_folder;
    QStringList m_serials;
};
