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

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLocale>

#include "source_survey.h"

void KestrovaMainWidget::startcopyButton_slots() {
    if (m_job->isRunning())
        return;
    // The count and the copy would talk to the same phone at once.
    m_survey->stop();
    kestrova::JobRequest request;
    request.skipExisting = !m_keepDuplicates->isChecked();
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
    if (destination.type == kDeviceFolder)
        request.destinationFolder = m_folderDestination;
    else if (code != kModeAndroid2Android && code != kModeIphone2Android &&
             code != kModeItunes2Android)
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
    // An iPhone that encrypts its backups: its personal data comes through
    // one, so its backup password is asked for before the copy starts.
    const bool personal =
        request.kinds[kestrova::Kind::Contacts] || request.kinds[kestrova::Kind::Sms] ||
        request.kinds[kestrova::Kind::CallLogs] || request.kinds[kestrova::Kind::Calendar];
    if (source.type == kDeviceIphone && personal &&
        kestrova::iphoneBackupNeedsPassword(source.index)) {
        PasswordDialog dialog(QString::fromUtf8(source.name), this);
        dialog.centreOn(this);
        if (windowhooks::runModal(&dialog) == QDialog::Accepted)
            request.backupPassword = dialog.takePassword();
        else
            request.backupPasswordDeclined = true;
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

void KestrovaMainWidget::startSurvey() {
    kestrova::KindSet kinds;
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        kinds[kind] = m_allowed[kind];
        m_items[kind]->setCountText(QString());
    }
    int32_t type = m_leftSkin.type;
    int32_t index = m_leftSkin.index;
    if (m_transferMode == 1) {
        type = kDeviceItunesBackup;
        index = m_backupCombo->currentIndex();
    }
    if (index < 0 || m_job->isRunning()) {
        m_survey->stop();
        return;
    }
    m_survey->start(type, index, kinds, kestrova::defaultWorkFolder() + QStringLiteral("/survey"));
}

// "1,234" for records and apps, "200 · 381 MB" for photos, videos and music.
void KestrovaMainWidget::showSurvey() {
    m_survey->poll();
    const QLocale locale;
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        const kestrova::SurveyCount& c = m_survey->count(kind);
        const int64_t items = c.items;
        const int64_t bytes = c.bytes;
        QString text;
        if (items >= 0 && m_allowed[kind]) {
            text = locale.toString(static_cast<qlonglong>(items));
            if (kestrova::isMedia(kind) && bytes >= 0)
                text += QStringLiteral(" \u00b7 ") +
                        locale.formattedDataSize(bytes, 0, QLocale::DataSizeTraditionalFormat);
        }
        m_items[kind]->setCountText(text);
    }
}
