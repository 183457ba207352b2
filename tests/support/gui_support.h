// Shared pieces of the window tests: one QApplication on the offscreen
// platform, finding widgets by object name, waiting with a bound, and
// screenshots into the build folder.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>

#include "job_request.h"

class QApplication;
class QDialog;
class TransferDoingThread;

namespace kestrova {
enum class Reason : int;
}

namespace guitest {

// The process's QApplication, made on first use (offscreen unless the
// environment asks for another platform).
QApplication* app();

// The child of root named name; fails the current test when missing.
template <typename T> T* child(QWidget* root, const char* name) {
    return root->findChild<T*>(QLatin1String(name));
}

// Runs the event loop until ready() holds or the bound passes.
bool waitFor(const std::function<bool()>& ready, int boundMs);

// Saves widget's picture as <build>/tests/gui-screenshots/<folder>/<name>.png
// at device pixel ratio 1 and returns the path.
QString screenshot(QWidget* widget, const QString& folder, const QString& name);

// Clicks a widget in its middle (press and release).
void click(QWidget* widget);

// For answerModals: when d is the end-of-copy dialog saying the copy has
// ended, keeps its text in *text, runs before (a screenshot, say), presses
// OK and returns the dialog's result; any other dialog (the progress window,
// the SMS prompt) is left up and 0 returned.
int answerCompletion(QDialog* d, QString* text, const std::function<void()>& before = {});

// Marks kind as finished in a job that never ran, with these counts and
// reason, as the job's routines would have left it.
void finishKind(TransferDoingThread& job, kestrova::Kind kind, int offered, int copied, int skipped,
                kestrova::Reason why);

// A request from the first Android phone to the second for these kinds.
kestrova::JobRequest androidRequest(std::initializer_list<kestrova::Kind> kinds);

} // namespace guitest
