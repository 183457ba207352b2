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

// Marks kind as finished in a job that never ran, with these counts and
// reason, as the job's routines would have left it.
void finishKind(TransferDoingThread& job, kestrova::Kind kind, int offered, int copied, int skipped,
                kestrova::Reason why);

// A request from the first Android phone to the second for these kinds.
kestrova::JobRequest androidRequest(std::initializer_list<kestrova::Kind> kinds);

} // namespace guitest
