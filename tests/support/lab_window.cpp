#include "lab_window.h"

#include <QDialog>
#include <QLabel>
#include <QWidget>

#include <usbmuxd.h>

#include <algorithm>

#include "MyPushButton.h"
#include "UserItemWidget.h"
#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "windowhooks.h"

LabWindow::LabWindow(const QStringList& labArguments, const QString& screenshotFolder)
    : m_folder(screenshotFolder) {
    guitest::app();
    m_lab = std::make_unique<LabSession>(labArguments);
    if (!m_lab->ready())
        return;
    // libusbmuxd's event thread connects once and, when that fails, waits for
    // the system daemon's socket to appear in /var/run without reading
    // USBMUXD_SOCKET_ADDRESS again. When several windows run in one process,
    // one lab after another, the thread has to keep polling the address the
    // current lab gives. A lab without iPhones names a socket that does not
    // exist, so no real usbmuxd of the machine is ever asked.
    libusbmuxd_set_use_inotify(0);
    qputenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + m_lab->dir() + "/no-usbmuxd").toUtf8());
    // The job's work folder and the libraries' scratch files stay in the lab.
    m_lab->applyToProcess();
    for (const auto& [name, value] : m_lab->exports())
        if (name.startsWith("KESTROVA_LAB_SERIAL_"))
            m_serials.append(value);
    answerModals({});
}

LabWindow::~LabWindow() {
    windowhooks::setModalRunner({});
    windowhooks::setUrlOpener({});
    windowhooks::setFolderChooser({});
    m_window.reset();
}

bool LabWindow::startIphone(const QString& options) {
    if (!m_lab->startIphone(options))
        return false;
    // The window's libraries run in this process: they find the iPhone here.
    qputenv("USBMUXD_SOCKET_ADDRESS", m_lab->environment("USBMUXD_SOCKET_ADDRESS").toUtf8());
    return true;
}

QString LabWindow::iphoneRoot() const { return m_lab->iphoneRoot(); }

KestrovaMainWidget* LabWindow::open() {
    m_window.reset(); // one main window at a time, as in the program
    m_window = std::make_unique<KestrovaMainWidget>();
    m_window->show();
    return m_window.get();
}

QWidget* LabWindow::widget(const char* name) const {
    return m_window->findChild<QWidget*>(QLatin1String(name));
}

QString LabWindow::text(const char* name) const {
    auto* label = m_window->findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

bool LabWindow::visible(const char* name) const {
    QWidget* w = widget(name);
    return w && w->isVisible();
}

bool LabWindow::enabled(const char* name) const {
    QWidget* w = widget(name);
    return w && w->isEnabled();
}

QString LabWindow::shot(const QString& name, QWidget* what) const {
    return guitest::screenshot(what ? what : m_window.get(), m_folder, name);
}

void LabWindow::tick(std::initializer_list<int> kinds) {
    for (int k = 0; k < 8; ++k) {
        auto* item = m_window->findChild<UserItemWidget*>(QStringLiteral("category%1").arg(k));
        const bool wanted = std::find(kinds.begin(), kinds.end(), k) != kinds.end();
        if (item->isTicked() != wanted)
            guitest::click(item->pictureButton());
    }
}

void LabWindow::answerModals(std::function<int(QDialog*)> answer) {
    if (!answer)
        answer = [](QDialog* d) {
            d->show();
            return 0;
        };
    windowhooks::setModalRunner(std::move(answer));
}

int LabWindow::labPhone(const char* serial) const {
    return static_cast<int>(m_serials.indexOf(QString::fromUtf8(serial)));
}
