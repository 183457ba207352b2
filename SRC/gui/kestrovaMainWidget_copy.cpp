// Starting a copy and the end of one.
#include "kestrovaMainWidget.h"

#include "MyPushButton.h"
#include "PasswordDialog.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "backup_unlock.h"
#include "companlateDialog.h"
#include "windowhooks.h"
#include "windowtext.h"
#include "work_folder.h"

#include <QComboBox>
#include <QDir>

void KestrovaMainWidget::startcopyButton_slots() {
    if (m_job->isRunning())
        return;
    kestrova::JobRequest request;
    for (kestrova::Kind kind : kestrova::kAllKinds)
        request.kinds[kind] = m_items[kind]->isTicked();
    request.workFolder = kestrova::defaultWorkFolder();
    for (UserItemWidget* item : m_items)
        item->setEnabled(false);
    m_startButton->setEnabled(false);

    SkinDeviceInfo source{};
    SkinDeviceInfo destination{};
    if (m_transferMode == 1) {
        if (m_backupCombo->currentIndex() < 0)
            return void(startFailed(true));
        source.type = kDeviceItunesBackup;
        source.index = m_backupCombo->currentIndex();
    } else if (findSkinDeviceInfo(&source, m_leftId) != 0) {
        return void(startFailed(true));
    }
    if (findSkinDeviceInfo(&destination, m_rightId) != 0)
        return void(startFailed(false));
    const int32_t code = windowtext::directionCode(source.type, destination.type);
    if (code != kModeAndroid2Android && code != kModeIphone2Android && code != kModeItunes2Android)
        return void(startFailed(false));
    request.sourceType = source.type;
    request.sourceIndex = source.index;
    request.destinationType = destination.type;
    request.destinationIndex = destination.index;
    // An encrypted backup is unlocked here, once, while the dialog waits;
    // declined, the job still runs so every kind says it was skipped.
    if (source.type == kDeviceItunesBackup && kestrova::backupNeedsPassword(source.index)) {
        PasswordDialog dialog(source.index, m_backupCombo->currentText(), this);
        dialog.centreOn(this);
        request.backupPasswordDeclined = windowhooks::runModal(&dialog) != QDialog::Accepted;
    }
    m_job->prepareJob(request);
    m_job->start();
    tsfProgressWidget_show();
}

// A device vanished between the last tick and Start copy: its pane goes back
// to waiting at once, and the checklist is usable again.
bool KestrovaMainWidget::startFailed(bool sourceGone) {
    if (sourceGone && m_transferMode == 0)
        leftNoDevices_skinshow(QString());
    else if (!sourceGone)
        rightNoDevices_skinshow();
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        m_items[kind]->setEnabled(true);
        m_items[kind]->setMyEnabled(m_allowed[kind]);
    }
    checkStartCopyEnableFlags();
    return false;
}

void KestrovaMainWidget::tsfProgressWidget_show() {
    m_progress->setJob(m_job);
    const QRect frame = geometry();
    m_progress->setGeometry(frame.x() + (width() - 780) / 2, frame.y() + (height() - 481) / 2, 780,
                            481);
    m_progress->flush_progress();
    m_progress->show();
    m_progress->raise();
    windowhooks::runModal(m_progress);
}

void KestrovaMainWidget::transferDoingThread_Finished() {
    // Only the kinds both sides support come back; the rest stay disabled.
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        m_items[kind]->setEnabled(true);
        if (!m_allowed[kind])
            m_items[kind]->setMyEnabled(false);
    }
    if (!m_job->stopRequested()) {
        m_progress->todoingfinised();
    } else {
        m_progress->dialog()->hide();
        m_progress->hide();
    }
    checkStartCopyEnableFlags();
}
