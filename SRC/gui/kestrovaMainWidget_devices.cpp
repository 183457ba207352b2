// Keeping the panes in step with the phones: the 800 ms timer reads the count
// thread's numbers and starts the check and preparation threads; their
// finished() slots fill or reset the panes and bring up the guidance pages.
#include "kestrovaMainWidget.h"

#include "DebugAuthorizationWidget.h"
#include "DeviceThreads.h"
#include "GuidancePage.h"
#include "IphoneTrustWidget.h"
#include "MyPushButton.h"
#include "OpenUsbDebugWidget.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "fruitlink.h"
#include "greenlink.h"

#include <QLabel>

#include <cstdio>
#include <cstring>

namespace {

// The name an iPhone is shown by: the first of its names that is set.
QString iphoneName(const iPhoneDeviceInfo* info) {
    for (const char* text : {info->deviceName, info->productType, info->serialNumber, info->udid})
        if (text && *text)
            return QString::fromUtf8(text);
    return QStringLiteral(" ");
}

AndroidDeviceInfo androidInfo(int index) {
    AndroidDeviceInfo info;
    std::memset(&info, 0, sizeof info);
    AndroidTSF_GetAndroidDevicesInfo(&info, index);
    info.serial[sizeof info.serial - 1] = 0;
    info.model[sizeof info.model - 1] = 0;
    return info;
}

} // namespace

void KestrovaMainWidget::m_Timer1_slots() {
    if (m_transferMode < 0 || m_timerBusy)
        return;
    m_timerBusy = true;
    if (m_authorisationPage->m_dismissed || m_permissionPage->m_dismissed)
        m_backupButton->show();
    const int total = m_countThread->m_totalCount;
    // While a copy runs the panes stay as they are: the job owns the phones.
    if (!m_job->isRunning()) {
        if (total == 2) {
            deviceCountEquailtwo_timerRun();
        } else if (total == 1) {
            deviceCountEquailone_timerRun();
        } else if (total <= 0) {
            hidePages();
            if (m_transferMode == 0)
                leftNoDevices_skinshow(QString());
            rightNoDevices_skinshow();
        }
        tooManyDevices_skinshow(total >= 3);
    }
    checkStartCopyEnableFlags();
    showSurvey();
    if (m_progress->isVisible())
        m_progress->flush_progress();
    m_timerBusy = false;
}

void KestrovaMainWidget::deviceCountEquailtwo_timerRun() {
    if (m_leftReady && m_rightReady)
        return;
    const int iphones = m_countThread->m_iphoneCount;
    if (iphones >= 2) {
        addIphoneDevicetoSkin(0);
        addIphoneDevicetoSkin(1);
    } else if (iphones == 1) {
        addIphoneDevicetoSkin(0);
    }
    if (m_countThread->m_androidCount >= 1)
        androidCheckDeviceDetectedThread_start(m_probeIndex, 0);
}

void KestrovaMainWidget::deviceCountEquailone_timerRun() {
    const int iphones = m_countThread->m_iphoneCount;
    const int androids = m_countThread->m_androidCount;
    // With a folder as the destination, the one phone is the source.
    if (!m_leftReady && (!m_rightReady || folderDestination())) {
        if (androids == 1)
            androidCheckDeviceDetectedThread_start(m_probeIndex, 0);
        else if (iphones == 1)
            addIphoneDevicetoSkin(0);
        return;
    }
    if (!(m_leftReady && m_rightReady) || folderDestination())
        return;
    if (iphones == 1) {
        DeviceNode* node = nullptr;
        IphoneTSF_GetDeviceInfoIndex(&node, 0);
        if (!node || !node->info || !node->info->udid)
            return;
        if (std::strcmp(node->info->udid, m_leftId) == 0)
            rightNoDevices_skinshow();
        else if (std::strcmp(node->info->udid, m_rightId) == 0)
            leftNoDevices_skinshow(QString());
    } else if (androids == 1) {
        const AndroidDeviceInfo first = androidInfo(0);
        const AndroidDeviceInfo second = androidInfo(1);
        if (first.serial[0] && second.serial[0]) {
            androidCheckDeviceDetectedThread_start(0, 1);
            return;
        }
        const char* serial = (second.serial[0] || !first.serial[0]) ? second.serial : first.serial;
        if (std::strcmp(serial, m_rightId) == 0)
            leftNoDevices_skinshow(QString());
        else if (std::strcmp(serial, m_leftId) == 0)
            rightNoDevices_skinshow();
    } else if (m_countThread->m_extraCount == 1 && m_transferMode == 1) {
        rightNoDevices_skinshow();
    }
}

// Words for why an iPhone does not answer yet, under the trust page's title;
// empty for a reason the user cannot mend on the phone.
static QString trustReason(int category) {
    switch (category) {
    case IPHONE_ERROR_PASSCODE_LOCKED:
        return KestrovaMainWidget::tr("The iPhone is locked.");
    case IPHONE_ERROR_TRUST_PENDING:
        return KestrovaMainWidget::tr("The iPhone is asking whether to trust this computer.");
    case IPHONE_ERROR_USER_DENIED:
        return KestrovaMainWidget::tr("\"Don't Trust\" was tapped: unplug the iPhone and plug it "
                                      "in again to be asked once more.");
    case IPHONE_ERROR_NOT_PAIRED:
        return KestrovaMainWidget::tr("The iPhone no longer knows this computer.");
    default:
        return {};
    }
}

void KestrovaMainWidget::addIphoneDevicetoSkin(int index) {
    if (m_leftReady && m_rightReady)
        return;
    DeviceNode* node = nullptr;
    IphoneTSF_GetDeviceInfoIndex(&node, index);
    if (!node || !node->info || !node->info->udid)
        return;
    // A locked or untrusting phone gives none of its data: say what to do
    // on it instead of listing it as ready.
    if (IphoneTSF_CheckTrusted(index) != 0) {
        const QString why = trustReason(IphoneTSF_GetLastErrorCategory());
        if (!why.isEmpty()) {
            m_iphoneTrustPage->setReason(why);
            if (!m_iphoneTrustPage->m_dismissed) {
                m_iphoneTrustPage->show();
                m_iphoneTrustPage->raise();
            }
            return;
        }
    }
    m_iphoneTrustPage->hide();
    const char* udid = node->info->udid;
    if (!m_leftReady && std::strcmp(udid, m_rightId) != 0)
        showReady(true, iphoneName(node->info), udid);
    else if (!m_rightReady && std::strcmp(udid, m_leftId) != 0)
        showReady(false, iphoneName(node->info), udid);
}

void KestrovaMainWidget::showReady(bool source, const QString& name, const char* id) {
    Pane& pane = source ? m_left : m_right;
    pane.waiting->hide();
    pane.connected->show();
    pane.title->setText((source ? tr("Source: ") : tr("Destination: ")) + name);
    std::snprintf(source ? m_leftId : m_rightId, 128, "%s", id);
    (source ? m_leftReady : m_rightReady) = true;
}

void KestrovaMainWidget::androidCheckDeviceDetectedThread_start(int index, int force) {
    if ((m_leftReady && m_rightReady && !force) || !m_prepareIdle || !m_detectIdle ||
        m_checkThread->isRunning())
        return;
    m_detectIdle = false;
    m_checkThread->index = index;
    m_checkThread->start();
}

void KestrovaMainWidget::androidCheckDeviceDetectedThread_Finished() {
    m_backupButton->show();
    m_detectIdle = true;
    const int result = m_checkThread->m_result;
    const int index = m_checkThread->index;
    if (result == -2) {
        offLine_skinshow();
    } else if (result == -3) {
        noPermission_skinshow();
    } else if (result == 0) {
        const AndroidDeviceInfo info = androidInfo(index);
        if (info.serial[0] && m_preparationFailedSerial == info.serial) {
            // Its reason stays on screen until Retry.
        } else if (info.serial[0] && std::strcmp(info.serial, m_leftId) != 0 &&
                   std::strcmp(info.serial, m_rightId) != 0) {
            m_usbDebugPage->m_dismissed = false;
            m_authorisationPage->m_dismissed = false;
            m_permissionPage->m_dismissed = false;
            hidePages();
            androidReadyScanThread_start(index);
        }
    } else {
        debugNoOpened_skinshow();
    }
    m_probeIndex = m_probeIndex < m_countThread->m_androidCount - 1 ? m_probeIndex + 1 : 0;
}

void KestrovaMainWidget::androidReadyScanThread_start(int index) {
    if (!m_detectIdle || !m_prepareIdle || m_countThread->m_androidCount < 1 ||
        m_readyThread->isRunning())
        return;
    m_prepareIdle = false;
    m_readyThread->index = index;
    m_readyThread->start();
    checkStartCopyEnableFlags();
    hidePages();
    if (!m_rightReady)
        showConnecting(m_right);
    else if (!m_leftReady)
        showConnecting(m_left);
}

void KestrovaMainWidget::showConnecting(Pane& pane) {
    restoreWaitingMessage(pane);
    pane.message->setText(tr("Connecting..."));
    pane.retry->hide();
}

void KestrovaMainWidget::showPreparationFailure(Pane& pane, const QString& why) {
    pane.waitingPicture->hide();
    pane.message->setWordWrap(true);
    pane.message->setGeometry(24, 90, 297, 240);
    pane.message->setText(why);
    pane.retry->show();
}

void KestrovaMainWidget::restoreWaitingMessage(Pane& pane) {
    pane.message->setWordWrap(false);
    KestrovaMainWidgetLayout();
    pane.waitingPicture->show();
}

void KestrovaMainWidget::androidReadyScanThread_Finished() {
    if (m_readyThread->m_result == 0) {
        const AndroidDeviceInfo info = androidInfo(m_readyThread->index);
        const QString model = QString::fromUtf8(info.model);
        if (info.serial[0] && !m_rightReady && std::strcmp(info.serial, m_leftId) != 0)
            showReady(false, model, info.serial);
        else if (info.serial[0] && !m_leftReady && std::strcmp(info.serial, m_rightId) != 0)
            showReady(true, model, info.serial);
    } else if (const char* why = AndroidTSF_GetReadyTodoFailure(m_readyThread->index);
               why && *why) {
        m_preparationFailedSerial = androidInfo(m_readyThread->index).serial;
        Pane* pane = !m_rightReady ? &m_right : (!m_leftReady ? &m_left : nullptr);
        if (pane)
            showPreparationFailure(*pane, QString::fromUtf8(why));
    }
    checkStartCopyEnableFlags();
    m_prepareIdle = true;
}

void KestrovaMainWidget::offLine_skinshow() {
    m_usbDebugPage->m_dismissed = false;
    m_usbDebugPage->hide();
    m_permissionPage->hide();
    if (!m_authorisationPage->m_dismissed) {
        m_backupButton->hide();
        m_authorisationPage->show();
        m_authorisationPage->raise();
    }
    needsAttention();
}

// adb lists the phone as "no permissions": neither USB debugging nor the
// phone's "Allow" is the matter, but the computer's rules for USB devices.
void KestrovaMainWidget::noPermission_skinshow() {
    m_usbDebugPage->hide();
    m_authorisationPage->hide();
    if (!m_permissionPage->m_dismissed) {
        m_backupButton->hide();
        m_permissionPage->show();
        m_permissionPage->raise();
    }
    needsAttention();
}

void KestrovaMainWidget::debugNoOpened_skinshow() {
    m_authorisationPage->hide();
    m_permissionPage->hide();
    if (!m_usbDebugPage->m_dismissed) {
        m_usbDebugPage->show();
        m_usbDebugPage->raise();
    }
    needsAttention();
}

void KestrovaMainWidget::needsAttention() {
    Pane* pane = !m_rightReady ? &m_right : (!m_leftReady ? &m_left : nullptr);
    if (!pane)
        return;
    pane->message->setText(QString());
    pane->retry->show();
}

void KestrovaMainWidget::hidePages() {
    m_usbDebugPage->hide();
    m_authorisationPage->hide();
    m_permissionPage->hide();
    m_iphoneTrustPage->hide();
}

void KestrovaMainWidget::leftNoDevices_skinshow(const QString& message) {
    m_preparationFailedSerial.clear();
    restoreWaitingMessage(m_left);
    m_leftId[0] = 0;
    m_leftReady = false;
    m_left.waitingTitle->setText(tr("Source: "));
    m_left.message->setText(message.isEmpty() ? tr("Please connect a source \nphone by USB")
                                              : message);
    m_left.waiting->show();
    m_left.connected->hide();
    m_left.retry->hide();
    hidePages();
    std::memset(&m_leftSkin, 0, sizeof m_leftSkin);
}

// With more devices than the mode uses, the panes are left as they are: which
// of them the user means cannot be guessed. A pane still waiting says why it
// stays empty, and goes back to its usual request once the count drops.
void KestrovaMainWidget::tooManyDevices_skinshow(bool tooMany) {
    const QString why = m_transferMode == 1
                            ? tr("More phones are connected \nthan one destination. \nPlease "
                                 "unplug the others.")
                            : tr("More than two phones \nare connected. \nPlease unplug the "
                                 "others.");
    for (Pane* pane : {&m_left, &m_right}) {
        const bool ready = pane == &m_left ? m_leftReady : m_rightReady;
        if (tooMany && !ready && pane->waiting->isVisible()) {
            pane->message->setText(why);
            pane->retry->hide();
        } else if (!tooMany && pane->message->text() == why) {
            pane->message->setText(pane == &m_left ? tr("Please connect a source \nphone by USB")
                                                   : tr("Please connect a destination "
                                                        "\nphone by USB"));
        }
    }
}

void KestrovaMainWidget::rightNoDevices_skinshow() {
    // A chosen folder stays the destination whatever the phones do.
    if (folderDestination())
        return showFolderDestination();
    m_preparationFailedSerial.clear();
    restoreWaitingMessage(m_right);
    m_rightId[0] = 0;
    m_rightReady = false;
    m_right.waitingTitle->setText(tr("Destination: "));
    m_right.message->setText(tr("Please connect a destination \nphone by USB"));
    m_right.waiting->show();
    m_right.connected->hide();
    m_right.retry->hide();
    hidePages();
    std::memset(&m_rightSkin, 0, sizeof m_rightSkin);
}

void KestrovaMainWidget::leftRetryButton_slots() {
    m_preparationFailedSerial.clear();
    m_usbDebugPage->m_dismissed = false;
    m_authorisationPage->m_dismissed = false;
    m_permissionPage->m_dismissed = false;
    showConnecting(m_left);
}

void KestrovaMainWidget::rightRetryButton_slots() {
    m_preparationFailedSerial.clear();
    m_usbDebugPage->m_dismissed = false;
    m_authorisationPage->m_dismissed = false;
    m_permissionPage->m_dismissed = false;
    showConnecting(m_right);
}
