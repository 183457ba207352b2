#include "screenshottour.h"

#include "kind.h"

#include "MyPushButton.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "companlateDialog.h"
#include "kestrovaMainWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

namespace {

// Backup mode comes last: with more phones attached than it uses, the panes
// are not filled again when the window goes back to phone mode.
enum Step {
    WaitForPhones,
    WaitForProgress,
    WaitForCompletion,
    WaitForBackupMode,
    Done,
};

constexpr int kPhonesBoundMs = 180000; // preparing a phone installs and greets its agent
constexpr int kStepBoundMs = 60000;
constexpr int kCopyBoundMs = 300000;

} // namespace

ScreenshotTour::ScreenshotTour(QWidget* window, const QString& folder, QObject* parent)
    : QObject(parent), m_window(window), m_folder(folder), m_timer(new QTimer(this)) {
    m_timer->setInterval(250);
    connect(m_timer, &QTimer::timeout, this, &ScreenshotTour::tick);
}

void ScreenshotTour::start() {
    if (!m_folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "kestrova: cannot make the folder %s\n",
                     qPrintable(m_folder.absolutePath()));
        QTimer::singleShot(0, this, [this] { emit finished(1); });
        return;
    }
    advance(WaitForPhones, kPhonesBoundMs);
    m_timer->start();
}

bool ScreenshotTour::visible(const char* name) const {
    const QWidget* w = m_window->findChild<QWidget*>(QLatin1String(name));
    return w && w->isVisible();
}

void ScreenshotTour::save(const QString& name, QWidget* what) {
    const QString path = m_folder.filePath(name + QStringLiteral(".png"));
    if (what->grab().save(path))
        m_saved << path;
    else
        std::fprintf(stderr, "kestrova: cannot write %s\n", qPrintable(path));
}

void ScreenshotTour::advance(int next, int boundMs) {
    m_step = next;
    m_settle = 0;
    m_deadline = QDateTime::currentMSecsSinceEpoch() + boundMs;
}

void ScreenshotTour::finish(int code, const char* why) {
    m_timer->stop();
    m_step = Done;
    if (why)
        std::fprintf(stderr, "kestrova: screenshots stopped: %s\n", why);
    emit finished(code);
}

bool ScreenshotTour::notYet(bool ready, const char* why, int settleTicks) {
    if (!ready) {
        if (QDateTime::currentMSecsSinceEpoch() > m_deadline)
            finish(1, why);
        return true;
    }
    return ++m_settle < settleTicks;
}

void ScreenshotTour::tick() {
    auto* main = static_cast<KestrovaMainWidget*>(m_window);
    switch (m_step) {
    case WaitForPhones: {
        const bool ready = visible("sourceConnectedPane") && visible("destinationConnectedPane") &&
                           m_window->findChild<QWidget*>("startCopyButton")->isEnabled();
        if (notYet(ready, "the phones did not fill both panes"))
            return;
        save(QStringLiteral("1-phones"), m_window);
        for (const char* page : {"usbDebugPage", "authorisationPage"}) {
            QWidget* w = m_window->findChild<QWidget*>(QLatin1String(page));
            w->show();
            w->raise();
            save(QStringLiteral("2-%1").arg(QLatin1String(page)), m_window);
            w->hide();
        }
        for (kestrova::Kind kind : kestrova::kAllKinds) {
            auto* item = m_window->findChild<UserItemWidget*>(
                QStringLiteral("category%1").arg(kestrova::indexOf(kind)));
            item->setTicked(item->isEnabled() &&
                            (kind == kestrova::Kind::Contacts || kind == kestrova::Kind::Photos));
        }
        advance(WaitForProgress, kStepBoundMs);
        // Runs the progress window modally; this timer goes on inside its loop.
        QTimer::singleShot(0, main, &KestrovaMainWidget::startcopyButton_slots);
        return;
    }
    case WaitForProgress: {
        QWidget* progress = main->progressWindow();
        // A moment for the first rows to move.
        if (notYet(progress && progress->isVisible(), "the copy did not start", 6))
            return;
        save(QStringLiteral("3-progress"), progress);
        advance(WaitForCompletion, kCopyBoundMs);
        return;
    }
    case WaitForCompletion: {
        CompleteDialog* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* candidate = qobject_cast<CompleteDialog*>(top);
            if (candidate && candidate->isVisible())
                dialog = candidate;
        }
        if (notYet(dialog != nullptr, "the copy did not end in time"))
            return;
        save(QStringLiteral("4-completion"), dialog);
        emit dialog->findChild<MyPushButton*>("completeDialogOk")->clicked();
        // The backup list is read when the mode changes, after the modal
        // loops have ended.
        QTimer::singleShot(0, main, &KestrovaMainWidget::backupButton_slots);
        advance(WaitForBackupMode, kStepBoundMs);
        return;
    }
    case WaitForBackupMode: {
        // With two phones and the backup counted, no phone takes the pane:
        // the list of backups is what this picture is about.
        // A tick of the window's timer for the destination pane's message.
        const auto* combo = m_window->findChild<QComboBox*>("backupCombo");
        if (notYet(combo && combo->count() > 0, "backup mode listed no backup", 6))
            return;
        save(QStringLiteral("5-backup-mode"), m_window);
        finish(0);
        return;
    }
    default:
        return;
    }
}
