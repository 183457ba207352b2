// The program's only top-level window: the source pane on the left, the
// destination pane on the right, Flip and Start copy between them, and the
// backup button that switches between phone-to-phone and backup-to-phone.
// It owns the device threads and the 800 ms timer that keep the panes in step
// with the phones, the guidance pages, the transfer job and its progress
// window. No library call that can wait on a device runs on its thread.
#pragma once

#include <string>

#include "kind.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace kestrova {
class SourceSurvey;
}

class CheckDeviceDetectedThread;
class QCheckBox;
class DebugAuthorizationWidget;
class GuidancePage;
class GetDeviceCountThread;
class IphoneTrustWidget;
class MyListWidget;
class MyPushButton;
class OpenUsbDebugWidget;
class QComboBox;
class QLabel;
class QTimer;
class ReadyScanThread;
class TransferDoingThread;
class TransferProgressWidget;
class UserItemWidget;
class topCtrlWidget;

struct SkinDeviceInfo {
    char id[128];
    char name[128];
    int32_t type;
    int32_t index;
};
static_assert(sizeof(SkinDeviceInfo) == 264, "SkinDeviceInfo is 264 bytes");

class KestrovaMainWidget : public QWidget {
    Q_OBJECT
  public:
    explicit KestrovaMainWidget(QWidget* parent = nullptr);
    ~KestrovaMainWidget() override;

    void setTransferCurrentFlags(int mode);
    void checkStartCopyEnableFlags();
    void checkDeviceEnableItem();
    int findSkinDeviceInfo(SkinDeviceInfo* out, const char* id);
    void tsfProgressWidget_show();

    int transferMode() const { return m_transferMode; }
    const char* sourceId() const { return m_leftId; }
    const char* destinationId() const { return m_rightId; }
    TransferDoingThread* job() const { return m_job; }
    TransferProgressWidget* progressWindow() const { return m_progress; }

  public slots:
    void androidCheckDeviceDetectedThread_Finished();
    void androidReadyScanThread_Finished();
    void transferDoingThread_Finished();
    void FlipDevices_slots();
    void startcopyButton_slots();
    void backupButton_slots();
    void folderDestination_slots();
    void leftRetryButton_slots();
    void rightRetryButton_slots();
    void iTunesSelect_subButton_slots();
    void iTunesSelect_ItemlistChange();
    void transferDoingThread_ChangeSMSShow();
    void transferDoingThread_ChangeSMSHide();
    void readyScanThread_DebugisOpened(int devicesindex);
    void m_Timer1_slots();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Pane {
        QWidget* waiting;
        QLabel* waitingTitle;
        QLabel* waitingPicture;
        QLabel* message;
        MyPushButton* retry;
        QWidget* connected;
        QLabel* title;
        QLabel* picture;
        QLabel* mark;
    };

    void KestrovaMainWidgetCreate();
    void createPane(Pane& pane, const QString& side);
    void createSourceExtras();
    void createButtons();
    void KestrovaMainWidgetLayout();
    void setBackupButtonCaption(int mode);
    void setTabOrderOfControls();
    void KestrovaMainWidgetDrSkin();
    void applyMask();

    // Device watching (kestrovaMainWidget_devices.cpp).
    void deviceCountEquailone_timerRun();
    void deviceCountEquailtwo_timerRun();
    void addIphoneDevicetoSkin(int index);
    void androidCheckDeviceDetectedThread_start(int index, int force);
    void androidReadyScanThread_start(int index);
    void offLine_skinshow();
    void debugNoOpened_skinshow();
    void noPermission_skinshow();
    void needsAttention();
    void leftNoDevices_skinshow(const QString& message);
    void rightNoDevices_skinshow();
    // The folder destination (kestrovaMainWidget_folder.cpp).
    void createFolderDestination();
    void setFolderButtonCaption();
    void showFolderDestination();
    bool folderDestination() const { return !m_folderDestination.isEmpty(); }
    // True, with *out filled, when id is the folder destination's.
    bool folderSkin(SkinDeviceInfo* out, const char* id) const;
    void tooManyDevices_skinshow(bool tooMany);
    // Hands the folder to the backup reader; false when its path is too long.
    bool setOtherBackupFolder(const QString& folder);
    void showReady(bool source, const QString& name, const char* id);
    void showConnecting(Pane& pane);
    // A reason in words takes the phone picture's place, above Retry.
    void showPreparationFailure(Pane& pane, const QString& why);
    void restoreWaitingMessage(Pane& pane);
    void hidePages();
    void applySupport(bool force);
    // Counts what the source holds, off the GUI thread, and shows it on the
    // tiles (kestrovaMainWidget_copy.cpp).
    void startSurvey();
    void showSurvey();
    bool startFailed(bool sourceGone);

    Pane m_left{};
    Pane m_right{};
    topCtrlWidget* m_topCtrlWidget = nullptr;
    QWidget* m_body = nullptr;
    QComboBox* m_backupCombo = nullptr;
    MyListWidget* m_backupList = nullptr;
    QWidget* m_hintPanel = nullptr;
    QLabel* m_hintLabel = nullptr;
    MyPushButton* m_selectButton = nullptr;
    kestrova::PerKind<UserItemWidget*> m_items;
    kestrova::KindSet m_allowed;
    MyPushButton* m_flipButton = nullptr;
    MyPushButton* m_startButton = nullptr;
    MyPushButton* m_backupButton = nullptr;
    // Ticked: a copy writes again what the destination already holds.
    QCheckBox* m_keepDuplicates = nullptr;
    // Chosen with "Copy to a folder instead": the copy goes there as files.
    MyPushButton* m_folderButton = nullptr;
    QLabel* m_folderPath = nullptr;
    QString m_folderDestination;
    std::unique_ptr<kestrova::SourceSurvey> m_survey;
    OpenUsbDebugWidget* m_usbDebugPage = nullptr;
    DebugAuthorizationWidget* m_authorisationPage = nullptr;
    GuidancePage* m_permissionPage = nullptr;
    IphoneTrustWidget* m_iphoneTrustPage = nullptr;
    TransferProgressWidget* m_progress = nullptr;
    TransferDoingThread* m_job = nullptr;
    GetDeviceCountThread* m_countThread = nullptr;
    CheckDeviceDetectedThread* m_checkThread = nullptr;
    ReadyScanThread* m_readyThread = nullptr;
    QTimer* m_Timer1 = nullptr;

    bool m_detectIdle = true;
    bool m_prepareIdle = true;
    char m_leftId[128] = {};
    char m_rightId[128] = {};
    // A phone whose agent could not be put on it for a reason the user must
    // act on (install refused, no answer): the reason stays on its pane and
    // the phone is not prepared again until Retry or until it is unplugged.
    std::string m_preparationFailedSerial;
    bool m_leftReady = false;
    bool m_rightReady = false;
    SkinDeviceInfo m_leftSkin{};
    SkinDeviceInfo m_rightSkin{};
    int32_t m_probeIndex = 0;
    int32_t m_transferMode = -1;
    QPixmap m_backupFace[2];
    bool m_timerBusy = false;
    int32_t m_dragging = 0;
    int32_t m_pressX = 0;
    int32_t m_pressY = 0;
};
