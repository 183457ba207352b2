#include "TransferDataProgress.h"
#include "skinning.h"

#include "MyPushButton.h"
#include "QtMyThread.h"
#include "appglobals.h"
#include "companlateDialog.h"
#include "fruitlink.h"
#include "greenlink.h"
#include "kestrovaMainWidget.h"
#include "windowhooks.h"
#include "windowtext.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QProgressBar>
#include <QWidget>

#include "spritemap.h"

namespace {

const char* kWaitingStyle = "QLabel{color:#2d2d2d;font:14px;}";
const char* kSuccessStyle = "QLabel{color:#049700;font:14px;}";
const char* kShortfallStyle = "QLabel{color:#c0392b;font:14px;}";

QWidget* mainWindow() { return g_KestrovaMainWidget_instance; }

} // namespace

TransferProgressWidget::TransferProgressWidget(QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint) {
    setObjectName(QStringLiteral("progressWindow"));
    const QPixmap sheet = skinPicture(QStringLiteral(":/images/publicImage.png"));
    m_closePicture = skinPiece(sheet, spritemap::pub::kClose.whole());
    m_cancelPicture = skinPiece(sheet, spritemap::pub::kCancel.whole());
    m_iconPicture = skinPiece(sheet, spritemap::pub::kProgressIcon);

    m_title = new QLabel(tr("Copy Progress"), this);
    m_title->setStyleSheet(QStringLiteral("QLabel{color:#2d383f;font:15px;}"));
    m_closeButton = new MyPushButton(this);
    m_closeButton->setObjectName(QStringLiteral("progressClose"));
    m_closeButton->setAccessibleName(tr("Close"));
    m_closeButton->setAccessibleDescription(tr("Asks before it stops the copy."));
    m_icon = new QLabel(this);
    m_message = new QLabel(tr("Transferring data...\nPlease don't disconnect your phone."), this);
    m_message->setStyleSheet(QStringLiteral("QLabel{color:#2d2d2d;font:16px;}"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setAccessibleName(tr("Copy progress"));
    m_bar->setStyleSheet(
        QStringLiteral("QProgressBar::chunk {background-color: #61bc0f;width: 10px;} QProgressBar "
                       "{background-color: #eeeeee;border: 0px solid #eeeeee;}"));
    m_cancelButton = new MyPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("progressCancel"));
    m_cancelButton->setCaption(tr("Cancel"), spritemap::Tone::Outline, 14);
    m_cancelButton->setAccessibleDescription(tr("Asks before it stops the copy."));
    // Cancel first: the window's one action; the corner's close does the same.
    setTabOrder(m_cancelButton, m_closeButton);
    m_rowArea = new QWidget(this);
    // On a dense screen the twice-as-large frames, shown at the label's size.
    const bool dense = qGuiApp->devicePixelRatio() > 1.0 &&
                       QFile::exists(QStringLiteral(":/images/loadimg@2x.gif"));
    m_movie = new QMovie(dense ? QStringLiteral(":/images/loadimg@2x.gif")
                               : QStringLiteral(":/images/loadimg.gif"),
                         QByteArray(), this);
    for (int k = 0; k < kestrova::kKindCount; ++k) {
        m_rowNames[k] = new QLabel(m_rowArea);
        m_rowNames[k]->setObjectName(QStringLiteral("progressRowName%1").arg(k));
        m_rowNames[k]->setStyleSheet(QStringLiteral("QLabel{color:#2d2d2d;font:14px;}"));
        m_rowStates[k] = new QLabel(m_rowArea);
        m_rowStates[k]->setObjectName(QStringLiteral("progressRowState%1").arg(k));
        m_rowStates[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_rowSpinners[k] = new QLabel(m_rowArea);
        m_rowSpinners[k]->setObjectName(QStringLiteral("progressRowSpinner%1").arg(k));
        m_rowSpinners[k]->setMovie(m_movie);
        m_rowSpinners[k]->setScaledContents(true);
        m_rowSpinners[k]->hide();
    }
    m_movie->start();
    // A top-level dialog of its own: it is placed over the main window.
    m_dialog = new CompleteDialog(nullptr);
    m_dialog->hide();
    connect(m_closeButton, &MyPushButton::clicked, this,
            &TransferProgressWidget::close_Button_slots);
    connect(m_cancelButton, &MyPushButton::clicked, this,
            &TransferProgressWidget::close_Button_slots);
}

TransferProgressWidget::~TransferProgressWidget() { delete m_dialog; }

void TransferProgressWidget::setGeometry(int x, int y, int w, int h) {
    QDialog::setGeometry(x, y, w, h);
    m_title->setGeometry(16, 15, 400, 30);
    m_closeButton->setGeometry(w - 45, 14, 26, 26);
    m_icon->setGeometry(30, 70, 73, 62);
    m_message->setGeometry(130, 80, w - 150, 50);
    m_bar->setGeometry(133, 137, 580, 10);
    m_rowArea->setGeometry(135, 178, 575, 212);
    m_cancelButton->setGeometry(587, 415, 126, 34);
    const int W = m_rowArea->width();
    for (int k = 0; k < kestrova::kKindCount; ++k) {
        const int rowY = 15 + 24 * k;
        // Room for an outcome in words ("Failed: 3 of 120 (destination phone
        // disconnected)") on the right; names are short.
        m_rowNames[k]->setGeometry(20, rowY, 190, 20);
        m_rowStates[k]->setGeometry(170, rowY, W - 190, 20);
        m_rowSpinners[k]->setGeometry(W - 73, rowY - 2, 30, 23);
    }
    applySkin();
}

void TransferProgressWidget::applySkin() {
    setScaledBackground(this, skinPicture(QStringLiteral(":/images/BackupProgress.png")));
    setScaledBackground(m_icon, m_iconPicture);
    m_closeButton->setSprite(m_closePicture);
    m_closeButton->setLookRects(QRect(0, 0, 26, 26), QRect(0, 26, 26, 26), QRect(0, 52, 26, 26),
                                QRect(0, 0, 26, 26));
    m_cancelButton->setSprite(m_cancelPicture);
    m_cancelButton->setLookRects(QRect(0, 0, 126, 34), QRect(0, 34, 126, 34), QRect(0, 68, 126, 34),
                                 QRect(0, 0, 126, 34));
    applyRoundedMask(this, 4);
}

void TransferProgressWidget::flush_progress() {
    if (!m_job)
        return;
    refreshRows();
    refreshBar();
    m_dialog->updateShowText(m_job->snapshot().smsCountdown);
}

void TransferProgressWidget::refreshRows() {
    int used = 0;
    int done = 0;
    for (QLabel* spinner : m_rowSpinners)
        spinner->hide();
    const kestrova::ProgressSnapshot snapshot = m_job->snapshot();
    for (kestrova::Kind k : kestrova::kAllKinds) {
        const auto& row = snapshot.kinds[k];
        if (!row.selected)
            continue;
        QString name = windowtext::kindLabel(k);
        if (row.total >= 0)
            name += QStringLiteral(" (%1/%2)").arg(row.current).arg(row.total);
        m_rowNames[used]->setText(name);
        QLabel* state = m_rowStates[used];
        if (row.finished) {
            ++done;
            const kestrova::KindCounters& c = m_job->outcome(k);
            const bool whole = kestrova::evaluate(c, true) == kestrova::Outcome::Success;
            state->setText(kestrova::localisedDescribe(c, true));
            state->setStyleSheet(QLatin1String(whole ? kSuccessStyle : kShortfallStyle));
        } else {
            state->setText(tr("Waiting"));
            state->setStyleSheet(QLatin1String(kWaitingStyle));
        }
        m_rowNames[used]->show();
        state->show();
        ++used;
    }
    for (int r = used; r < kestrova::kKindCount; ++r) {
        m_rowNames[r]->hide();
        m_rowStates[r]->hide();
    }
    // The kind in hand is the first one not finished; the job runs them in order.
    if (done < used && snapshot.preparing >= 0 && !snapshot.running) {
        // A live iPhone is backed up before its first kind: say how far.
        m_rowStates[done]->setText(kestrova::localisedPreparingText(snapshot.preparing));
        m_rowStates[done]->setStyleSheet(QLatin1String(kWaitingStyle));
    } else if (done < used) {
        m_rowStates[done]->hide();
        m_rowSpinners[done]->show();
    }
}

void TransferProgressWidget::refreshBar() {
    switch (m_job->request().mode()) {
    case kModeAndroid2Android:
        flush_progress_android2android();
        break;
    case kModeIphone2Android:
        flush_progress_iphone2android();
        break;
    case kModeItunes2Android:
        flush_progress_itunes2android();
        break;
    default:
        break;
    }
}

namespace {

progressmath::Snapshot snapshotOf(const TransferDoingThread& job) {
    return progressmath::of(job.snapshot());
}

} // namespace

void TransferProgressWidget::flush_progress_android2android() {
    if (!m_job || m_job->request().mode() != kModeAndroid2Android)
        return;
    progressmath::Snapshot s = snapshotOf(*m_job);
    if (s.kind == kestrova::Kind::Videos)
        s.videoBytes = AndroidTSF_GetVideoProgressSize();
    progressmath::refresh(s, m_barState);
    m_bar->setValue(m_barState.value);
}

void TransferProgressWidget::flush_progress_iphone2android() {
    if (!m_job || m_job->request().mode() != kModeIphone2Android)
        return;
    progressmath::refresh(snapshotOf(*m_job), m_barState);
    m_bar->setValue(m_barState.value);
}

void TransferProgressWidget::flush_progress_itunes2android() {
    if (!m_job || m_job->request().mode() != kModeItunes2Android)
        return;
    const progressmath::Snapshot s = snapshotOf(*m_job);
    // The window's own byte counter starts again with every new file, rather
    // than writing into the job's counter while the job writes it too.
    if (s.kind != m_lastKind || s.current != m_lastCurrent)
        m_barState.fileDone = 0;
    m_lastKind = s.kind;
    m_lastCurrent = s.current;
    progressmath::refresh(s, m_barState);
    m_bar->setValue(m_barState.value);
}

int TransferProgressWidget::barValue() const { return m_bar->value(); }

QStringList TransferProgressWidget::shortfalls() const {
    QStringList lines;
    for (kestrova::Kind k : kestrova::kAllKinds) {
        if (!m_job->request().kinds[k])
            continue;
        const kestrova::KindCounters& c = m_job->outcome(k);
        if (kestrova::evaluate(c, true) == kestrova::Outcome::Success)
            continue;
        lines << windowtext::kindLabel(k) + QStringLiteral(": ") +
                     kestrova::localisedDescribe(c, true);
    }
    return lines;
}

void TransferProgressWidget::todoingfinised() {
    flush_progress();
    m_dialog->setShowBackup(CompleteDialog::Completed);
    if (m_job)
        m_dialog->setCompletionText(m_job->allSucceeded(), shortfalls());
    m_dialog->centreOn(mainWindow());
    windowhooks::runModal(m_dialog);
    hide();
    done(QDialog::Accepted);
}

void TransferProgressWidget::changedefaultsmsShow() {
    m_dialog->setShowBackup(CompleteDialog::SmsCountdown);
    if (m_job)
        m_dialog->updateShowText(m_job->snapshot().smsCountdown);
    m_dialog->centreOn(mainWindow());
    windowhooks::runModal(m_dialog);
}

// Esc, or the window manager's close: the same question as Cancel. The
// window never goes away while its copy runs unless the user said so.
void TransferProgressWidget::reject() { close_Button_slots(); }

void TransferProgressWidget::closeEvent(QCloseEvent* event) {
    if (m_job && m_job->isRunning()) {
        event->ignore();
        close_Button_slots();
        return;
    }
    QDialog::closeEvent(event);
}

void TransferProgressWidget::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_cancelButton->setFocus(Qt::ActiveWindowFocusReason);
}

void TransferProgressWidget::close_Button_slots() {
    m_dialog->setShowBackup(CompleteDialog::CancelQuestion);
    m_dialog->centreOn(mainWindow());
    windowhooks::runModal(m_dialog);
    if (m_dialog->result() == 1) {
        cancel_Button_slots();
        hide();
        done(QDialog::Rejected);
    }
}

void TransferProgressWidget::cancel_Button_slots() {
    if (m_job)
        m_job->cancel();
}
