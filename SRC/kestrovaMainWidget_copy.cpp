// Starting a copy and the end of one.
#include "kestrovaMainWidget.h"

#include "MyPushButton.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "companlateDialog.h"
#include "windowhooks.h"
#include "windowtext.h"

#include <QComboBox>
#include <QDir>

void KestrovaMainWidget::startcopyButton_slots() {
    if (m_job->isRunning())
        return;
    bool selected[kestrova::kKindCount];
    for (int i = 0; i < kestrova::kKindCount; ++i)
        selected[i] = m_items[i]->isTicked();
    m_job->prepareJob(selected);
    QDir(QDir::tempPath()).mkpath(QStringLiteral("kestrova"));
    m_job->m_workPath = QDir::tempPath() + QStringLiteral("/kestrova");
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
    m_job->m_mode = code;
    m_job->m_srcIndex = source.index;
    m_job->m_srcType = source.type;
    m_job->m_dstIndex = destination.index;
    m_job->m_dstType = destination.type;
    m_job->m_kindIndex = -1;
    m_job->m_smsCountdown = 60;
    m_job->m_stop = 0;
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
    for (int i = 0; i < 8; ++i) {
        m_items[i]->setEnabled(true);
        m_items[i]->setMyEnabled(m_allowed[i]);
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
    for (int i = 0; i < 8; ++i) {
        m_items[i]->setEnabled(true);
        if (!m_allowed[i])
            m_items[i]->setMyEnabled(false);
    }
    if (m_job->m_stop == 0) {
        m_progress->todoingfinised();
    } else {
        m_progress->dialog()->hide();
        m_progress->hide();
    }
    checkStartCopyEnableFlags();
}
