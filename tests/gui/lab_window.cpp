#include "lab_window.h"

#include <QDialog>
#include <QLabel>
#include <QWidget>

#include "gui_support.h"
#include "kestrovaMainWidget.h"
#include "windowhooks.h"

LabWindow::LabWindow(const QStringList& labArguments, const QString& screenshotFolder)
    : m_folder(screenshotFolder) {
    guitest::app();
    m_lab = std::make_unique<LabSession>(labArguments);
    if (!m_lab->ready())
        return;
    const ProgramRun env = m_lab->lab("env", {});
    for (const QString& line : env.out.split('\n')) {
        if (!line.startsWith("export "))
            continue;
        const QString assignment = line.mid(7);
        const int eq = assignment.indexOf('=');
        if (eq <= 0)
            continue;
        QString value = assignment.mid(eq + 1);
        if (value.size() >= 2 && (value.startsWith('\'') || value.startsWith('"')))
            value = value.mid(1, value.size() - 2);
        const QString name = assignment.left(eq);
        qputenv(name.toUtf8().constData(), value.toUtf8());
        if (name.startsWith("KESTROVA_LAB_SERIAL_"))
            m_serials.append(value);
    }
    // The job's work folder and the libraries' scratch files stay in the lab.
    qputenv("TMPDIR", m_lab->dir().toUtf8());
    answerModals({});
}

LabWindow::~LabWindow() {
    windowhooks::setModalRunner({});
    windowhooks::setUrlOpener({});
    m_window.reset();
}

KestrovaMainWidget* LabWindow::open() {
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
