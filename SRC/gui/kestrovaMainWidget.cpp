#include "kestrovaMainWidget.h"
#include "skinning.h"

#include "DebugAuthorizationWidget.h"
#include "DeviceThreads.h"
#include "GuidancePage.h"
#include "IphoneTrustWidget.h"
#include "MyListWidget.h"
#include "MyPushButton.h"
#include "OpenUsbDebugWidget.h"
#include "QtMyThread.h"
#include "TransferDataProgress.h"
#include "UserItemWidget.h"
#include "appglobals.h"
#include "companlateDialog.h"
#include "fruitlink.h"
#include "greenlink.h"
#include "jukelink.h"
#include "misc.h"
#include "screenfit.h"
#include "source_survey.h"
#include "topCtrWidget.h"
#include "windowhooks.h"
#include "windowtext.h"
#include "work_folder.h"

#include <QBitmap>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "spritemap.h"

namespace {

const char* kTitleStyle = "QLabel { color: #025b96;font: bold 18px;}";
const char* kMessageStyle = "QLabel { color: #025b96;font: 16px;}";
const char* kHintStyle = "QLabel { color: #025b96;font: 14px;}";
const char* kComboStyle =
    "QComboBox{border:1px solid rgb(180, 180, 180);}QComboBox QAbstractItemView::item{height:30px;}"
    "QComboBox::down-arrow{image:url(:/images/arrowDown.png);}QComboBox::drop-down{width:20px; "
    "border-left:1px solid rgb(180, 180, 180);}";

void setStrip(MyPushButton* button, const QPixmap& sheet, const spritemap::Strip& s) {
    button->setSprite(sheet);
    button->setLookRects(s.look(0), s.look(1), s.look(2), s.look(3));
}

QLabel* label(QWidget* parent, const char* name, const char* style) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setStyleSheet(QLatin1String(style));
    return l;
}

} // namespace

KestrovaMainWidget::KestrovaMainWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    // The layout is drawn for 1000 x 650; a smaller screen shows all of it
    // smaller rather than a part of it.
    const QRect screen = screenfit::fitScreenTo(this, QSize(1000, 650));
    resize(1000, 650);
    setAutoFillBackground(true);
    g_KestrovaMainWidget_instance = this;
    // A copy that crashed left its extracted databases behind: not for long.
    kestrova::removeLeftovers();
    move(screenfit::placement(QSize(1000, 650), screen));
    setWindowTitle(QStringLiteral("Kestrova"));
    setWindowIcon(QIcon(QStringLiteral(":/images/program.png")));
    KestrovaMainWidgetCreate();
    KestrovaMainWidgetLayout();
    KestrovaMainWidgetDrSkin();
    KestrovaMainWidgetLayout();
    applyMask();
    setTabOrderOfControls();
    IphoneTSF_Init();
}

KestrovaMainWidget::~KestrovaMainWidget() {
    m_Timer1->stop();
    m_survey.reset();
    // The threads hold no window state; wait for them so none outlives its object.
    m_countThread->stopAndWait();
    m_checkThread->wait();
    m_readyThread->wait();
    if (m_job->isRunning()) {
        m_job->cancel();
        m_job->wait();
    }
    delete m_countThread;
    delete m_checkThread;
    delete m_readyThread;
    delete m_job;
    if (g_KestrovaMainWidget_instance == this)
        g_KestrovaMainWidget_instance = nullptr;
}

void KestrovaMainWidget::KestrovaMainWidgetCreate() {
    m_topCtrlWidget = new topCtrlWidget(this);
    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("body"));
    createPane(m_left, QStringLiteral("source"));
    createPane(m_right, QStringLiteral("destination"));
    createSourceExtras();
    createButtons();

    m_usbDebugPage = new OpenUsbDebugWidget(this);
    m_usbDebugPage->hide();
    m_authorisationPage = new DebugAuthorizationWidget(this);
    m_authorisationPage->hide();
    m_permissionPage = makeUsbPermissionPage(this);
    m_permissionPage->hide();
    m_iphoneTrustPage = new IphoneTrustWidget(this);
    m_iphoneTrustPage->hide();
    m_progress = new TransferProgressWidget(this);
    m_progress->hide();

    m_countThread = new GetDeviceCountThread;
    m_countThread->start();
    m_checkThread = new CheckDeviceDetectedThread;
    m_readyThread = new ReadyScanThread;
    connect(m_checkThread, &DeviceThread::finished, this,
            &KestrovaMainWidget::androidCheckDeviceDetectedThread_Finished);
    connect(m_readyThread, &DeviceThread::finished, this,
            &KestrovaMainWidget::androidReadyScanThread_Finished);
    connect(m_readyThread, &ReadyScanThread::debugisOpened, this,
            &KestrovaMainWidget::readyScanThread_DebugisOpened);
    m_job = new TransferDoingThread;
    connect(m_job, &TransferDoingThread::finished, this,
            &KestrovaMainWidget::transferDoingThread_Finished);
    connect(m_job, &TransferDoingThread::changeSMSShow, this,
            &KestrovaMainWidget::transferDoingThread_ChangeSMSShow);
    connect(m_job, &TransferDoingThread::changeSMSHide, this,
            &KestrovaMainWidget::transferDoingThread_ChangeSMSHide);
    m_Timer1 = new QTimer(this);
    connect(m_Timer1, &QTimer::timeout, this, &KestrovaMainWidget::m_Timer1_slots);
    m_Timer1->start(800);

    m_right.connected->hide();
    m_left.connected->hide();
    m_left.retry->hide();
    m_right.retry->hide();
    // The backups of the folder picked in an earlier session are listed
    // again, beside those of the standard folders.
    const QString remembered = GetUserUsedPath();
    if (!remembered.isEmpty())
        setOtherBackupFolder(remembered);
    setTransferCurrentFlags(0);
    checkStartCopyEnableFlags();
}

void KestrovaMainWidget::createPane(Pane& pane, const QString& side) {
    pane.waiting = new QWidget(m_body);
    pane.waiting->setObjectName(side + QStringLiteral("WaitingPane"));
    pane.waitingTitle = label(pane.waiting, "", kTitleStyle);
    pane.waitingTitle->setObjectName(side + QStringLiteral("WaitingTitle"));
    pane.waitingPicture = new QLabel(pane.waiting);
    pane.message = label(pane.waiting, "", kMessageStyle);
    pane.message->setObjectName(side + QStringLiteral("Message"));
    pane.message->setAlignment(Qt::AlignCenter);
    pane.retry = new MyPushButton(pane.waiting);
    pane.retry->setObjectName(side + QStringLiteral("Retry"));
    pane.retry->setCaption(tr("Retry"), spritemap::Tone::Primary, 15, QStringLiteral("retry"));
    pane.connected = new QWidget(m_body);
    pane.connected->setObjectName(side + QStringLiteral("ConnectedPane"));
    pane.title = label(pane.connected, "", kTitleStyle);
    pane.title->setObjectName(side + QStringLiteral("Title"));
    pane.title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Keep the titles off the card's rounded edge.
    pane.title->setIndent(14);
    pane.waitingTitle->setIndent(14);
    pane.picture = new QLabel(pane.connected);
    pane.mark = new QLabel(tr("Connected"), pane.connected);
    pane.mark->setObjectName(side + QStringLiteral("ConnectedMark"));
    // The word beside the mark's green dot.
    pane.mark->setIndent(26);
    QFont markFont = pane.mark->font();
    markFont.setBold(true);
    markFont.setPixelSize(12);
    pane.mark->setFont(markFont);
    QPalette markInk = pane.mark->palette();
    markInk.setColor(QPalette::WindowText, QColor(0x27, 0x88, 0x59));
    pane.mark->setPalette(markInk);
    const bool source = side == QLatin1String("source");
    // The source's connected pane shows the checklist where the phone would be.
    if (source)
        pane.picture->hide();
    connect(pane.retry, &MyPushButton::clicked, this,
            source ? &KestrovaMainWidget::leftRetryButton_slots
                   : &KestrovaMainWidget::rightRetryButton_slots);
}

void KestrovaMainWidget::createSourceExtras() {
    m_backupCombo = new QComboBox(m_left.connected);
    m_backupCombo->setObjectName(QStringLiteral("backupCombo"));
    m_backupCombo->setView(new QListView(m_backupCombo));
    m_backupCombo->setStyleSheet(QLatin1String(kComboStyle));
    m_backupCombo->setAccessibleName(tr("Backup to copy from"));
    m_backupList = new MyListWidget(m_left.connected);
    m_backupList->setObjectName(QStringLiteral("backupList"));
    m_backupList->setAccessibleName(tr("Backups"));
    m_hintPanel = new QWidget(m_left.connected);
    m_hintPanel->setObjectName(QStringLiteral("hintPanel"));
    m_hintLabel = label(m_hintPanel, "hintLabel", kHintStyle);
    m_hintLabel->setAlignment(Qt::AlignCenter);
    m_hintLabel->setWordWrap(true);
    m_hintLabel->setText(
        tr("Please select an iTunes backup. If you can't find your backup file here, please "
           "select it from other folder on computer."));
    m_selectButton = new MyPushButton(m_hintPanel);
    m_selectButton->setObjectName(QStringLiteral("backupSelectButton"));
    m_selectButton->setCaption(tr("Browse"), spritemap::Tone::Outline, 14,
                               QStringLiteral("folder"));
    m_selectButton->setAccessibleDescription(tr("Chooses another folder with backups."));
    connect(m_selectButton, &MyPushButton::clicked, this,
            &KestrovaMainWidget::iTunesSelect_subButton_slots);
    connect(m_backupList, &MyListWidget::ItemlistChange, this,
            &KestrovaMainWidget::iTunesSelect_ItemlistChange);
    // The drop-down list and the backup list show the same choice.
    connect(m_backupCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QString id = m_backupCombo->itemData(index).toString();
        for (MyListWidgetItem* row : m_backupList->rows())
            if (!row->data().isEmpty())
                row->setChecked(row->data() == id);
    });
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        m_items[kind] = new UserItemWidget(m_left.connected);
        m_items[kind]->setObjectName(QStringLiteral("category%1").arg(kestrova::indexOf(kind)));
        m_items[kind]->setMyText(windowtext::kindLabel(kind));
        m_items[kind]->setTicked(kestrova::isPersonal(kind));
        m_allowed[kind] = true;
    }
}

void KestrovaMainWidget::createButtons() {
    m_flipButton = new MyPushButton(m_body);
    m_flipButton->setObjectName(QStringLiteral("flipButton"));
    m_startButton = new MyPushButton(m_body);
    m_startButton->setObjectName(QStringLiteral("startCopyButton"));
    m_backupButton = new MyPushButton(m_body);
    m_backupButton->setObjectName(QStringLiteral("backupButton"));
    m_flipButton->setCaption(tr("Flip"), spritemap::Tone::Outline, 14, QStringLiteral("flip"));
    m_flipButton->setAccessibleDescription(tr("Swaps source and destination."));
    m_startButton->setCaption(tr("Start copy"), spritemap::Tone::Primary, 17);
    setBackupButtonCaption(0);
    connect(m_flipButton, &MyPushButton::clicked, this, &KestrovaMainWidget::FlipDevices_slots);
    connect(m_startButton, &MyPushButton::clicked, this,
            &KestrovaMainWidget::startcopyButton_slots);
    connect(m_backupButton, &MyPushButton::clicked, this, &KestrovaMainWidget::backupButton_slots);
    m_keepDuplicates = new QCheckBox(tr("Copy again what is there"), m_body);
    m_keepDuplicates->setObjectName(QStringLiteral("keepDuplicates"));
    m_keepDuplicates->setToolTip(
        tr("Items the destination already holds are skipped unless this is ticked."));
    m_keepDuplicates->setStyleSheet(QStringLiteral("QCheckBox { color: #42586a;font: 12px;}"));
    m_survey = std::make_unique<kestrova::SourceSurvey>();
    createFolderDestination();
}

void KestrovaMainWidget::setBackupButtonCaption(int mode) {
    if (mode == 1)
        m_backupButton->setCaption(tr("Copy from a phone instead"), spritemap::Tone::Link, 15,
                                   QStringLiteral("phone"));
    else
        m_backupButton->setCaption(tr("Copy from an iTunes backup instead"), spritemap::Tone::Link,
                                   15, QStringLiteral("backup"));
}

// Tab goes as the eye reads: the title bar's Help, the source (backup
// choice, checklist), the destination's Retry, then Flip, the duplicates
// choice, Start copy and the switch to backups.
void KestrovaMainWidget::setTabOrderOfControls() {
    QList<QWidget*> order{m_topCtrlWidget->helpButton(), m_left.retry, m_backupCombo, m_backupList,
                          m_selectButton};
    for (UserItemWidget* item : m_items)
        order << item->pictureButton();
    order << m_right.retry << m_flipButton << m_keepDuplicates << m_startButton << m_backupButton
          << m_folderButton;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void KestrovaMainWidget::KestrovaMainWidgetLayout() {
    m_topCtrlWidget->setGeometry(0, 0, width(), 52);
    m_body->setGeometry(0, 52, 1000, 598);
    for (Pane* pane : {&m_left, &m_right}) {
        const int x = pane == &m_left ? 55 : 600;
        pane->waiting->setGeometry(x, 60, 345, 405);
        pane->waitingTitle->setGeometry(3, 10, 345, 50);
        pane->waitingPicture->setGeometry(83, 70, 179, 270);
        pane->message->setGeometry(0, 330, 345, 60);
        pane->retry->setGeometry(97, 350, 150, 39);
        pane->connected->setGeometry(x, 60, 345, 405);
        pane->picture->setGeometry(83, 70, 179, 270);
        pane->mark->setGeometry(120, 340, 105, 21);
    }
    m_right.title->setGeometry(3, 10, 345, 50);
    if (m_transferMode == 1) {
        m_left.title->setGeometry(3, 10, 90, 50);
        m_backupCombo->setGeometry(90, 10, 345 - 90 - 10, 30);
    } else {
        m_left.title->setGeometry(3, 10, 345, 50);
        m_backupCombo->setGeometry(100, 10, 245, 30);
    }
    // One row high between the drop-down list and the checklist; it scrolls.
    m_backupList->setGeometry(10, 44, 325, 44);
    m_hintPanel->setGeometry(10, 300, 325, 100);
    m_hintLabel->setGeometry(5, 0, 315, 60);
    m_selectButton->setGeometry(97, 60, 130, 40);
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        const int i = kestrova::indexOf(kind); // four to a row, in the kinds' order
        m_items[kind]->setGeometry(18 + 80 * (i % 4), i < 4 ? 90 : 200, 67, 93);
    }
    m_keepDuplicates->setGeometry(412, 348, 180, 24);
    m_flipButton->setGeometry(450, 208, 95, 38);
    m_startButton->setGeometry(430, 290, 138, 45);
    m_backupButton->setGeometry(30, 515, 413, 35);
    m_folderButton->setGeometry(557, 515, 413, 35);
    m_folderPath->setGeometry(10, 90, 325, 200);
    m_usbDebugPage->setGeometry((width() - 929) / 2, (height() - 490) / 2 + 25, 929, 490);
    m_authorisationPage->setGeometry((width() - 929) / 2, (height() - 490) / 2, 929, 490);
    m_permissionPage->setGeometry((width() - 929) / 2, (height() - 490) / 2 + 10, 929, 490);
    m_iphoneTrustPage->setGeometry((width() - 929) / 2, (height() - 490) / 2, 929, 490);
}

void KestrovaMainWidget::KestrovaMainWidgetDrSkin() {
    setScaledBackground(this, skinPicture(QStringLiteral(":/images/tsf.png")));
    const QPixmap device = skinPicture(QStringLiteral(":/images/connectddevice.png"));
    const QPixmap mark = skinPicture(QStringLiteral(":/images/Connected.png"));
    for (Pane* pane : {&m_left, &m_right}) {
        setScaledBackground(pane->waitingPicture, device);
        setScaledBackground(pane->picture, device);
        setScaledBackground(pane->mark, mark);
        setStrip(pane->retry, skinPicture(QStringLiteral(":/images/retry.png")), spritemap::kRetry);
    }
    setScaledBackground(m_usbDebugPage, skinPicture(QStringLiteral(":/images/Setp11.png")));
    setScaledBackground(m_authorisationPage, skinPicture(QStringLiteral(":/images/note-pic2.png")));

    const QPixmap sheet = skinPicture(QStringLiteral(":/images/main.png"));
    namespace m = spritemap::main;
    setStrip(m_flipButton, sheet, m::kFlip);
    setStrip(m_startButton, sheet, m::kStartCopy);
    setStrip(m_selectButton, sheet, m::kItunesSelect);
    m_backupFace[0] = skinPiece(sheet, m::kBackupToItunes.whole());
    m_backupFace[1] = skinPiece(sheet, m::kBackupToPhone.whole());
    const spritemap::Strip face{0, 0, 413, 35, 35};
    setStrip(m_backupButton, m_backupFace[m_transferMode == 1 ? 1 : 0], face);
    setStrip(m_folderButton, m_backupFace[0], face);
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        const int i = kestrova::indexOf(kind); // the sprite sheet's column
        MyPushButton* b = m_items[kind]->pictureButton();
        b->setSprite(sheet);
        b->setLookRects(m::categoryLook(i, 0), m::categoryLook(i, 1), m::categoryLook(i, 2),
                        m::categoryLook(i, 3));
    }
}

void KestrovaMainWidget::applyMask() { applyRoundedMask(this, 6); }

void KestrovaMainWidget::setTransferCurrentFlags(int mode) {
    m_left.title->setText(tr("Source: "));
    m_countThread->m_extraCount = 0;
    m_backupCombo->hide();
    m_hintPanel->hide();
    m_left.mark->hide();
    m_backupList->hide();
    m_transferMode = mode;
    KestrovaMainWidgetLayout();
    if (mode == 0) {
        m_left.mark->show();
        leftNoDevices_skinshow(QString());
        rightNoDevices_skinshow();
    } else {
        m_backupList->show();
        m_countThread->m_extraCount = 1;
        m_leftReady = true;
        std::snprintf(m_leftId, sizeof m_leftId, "%s", "ITUNES");
        std::memset(&m_leftSkin, 0, sizeof m_leftSkin);
        rightNoDevices_skinshow();
        m_hintPanel->show();
        m_backupList->clear();
        m_backupCombo->clear();
        const int n = iTunesTSF_BackupCount();
        for (int i = 0; i < n; ++i) {
            BackupDeviceNode* node = nullptr;
            iTunesTSF_GetBackupDeviceByIndex(i, &node);
            if (!node)
                continue;
            const QString date = windowtext::backupDateText(
                QString::fromUtf8(node->date, qstrnlen(node->date, sizeof node->date)));
            const QString name = QString::fromUtf8(
                node->deviceName, qstrnlen(node->deviceName, sizeof node->deviceName));
            const QString id = QString::fromUtf8(
                node->identifier, qstrnlen(node->identifier, sizeof node->identifier));
            m_backupCombo->addItem(name + QStringLiteral(" - ") + date, id);
            m_backupList->addItemToList(name, date, id);
        }
        // Names with a date can be wider than the box: the open list is as
        // wide as its longest entry.
        m_backupCombo->view()->setMinimumWidth(m_backupCombo->view()->sizeHintForColumn(0) + 30);
        m_backupCombo->show();
        m_left.waiting->hide();
        m_left.connected->show();
        if (m_backupCombo->count() > 0) {
            const QString current = m_backupCombo->currentData().toString();
            std::snprintf(m_leftId, sizeof m_leftId, "%s", current.toUtf8().constData());
            for (MyListWidgetItem* row : m_backupList->rows())
                row->setChecked(!row->data().isEmpty() && row->data() == current);
        }
    }
    m_body->show();
    // A pane just reset must not leave Start copy on until the next tick.
    checkStartCopyEnableFlags();
}

void KestrovaMainWidget::checkStartCopyEnableFlags() {
    if (!m_leftReady || !m_rightReady) {
        m_flipButton->setEnabled(false);
        m_startButton->setEnabled(false);
        return;
    }
    m_flipButton->setEnabled(true);
    m_startButton->setEnabled(!m_job->isRunning());
    checkDeviceEnableItem();
    if (std::strcmp(m_rightSkin.id, m_rightId) == 0 && m_rightSkin.type == kDeviceIphone)
        m_startButton->setEnabled(false);
    // A backup source with no backup to read has nothing to copy.
    if (m_transferMode == 1 && m_backupCombo->count() == 0)
        m_startButton->setEnabled(false);
    if (m_transferMode != 0 || folderDestination())
        m_flipButton->setEnabled(false);
}

void KestrovaMainWidget::checkDeviceEnableItem() {
    if (std::strcmp(m_leftSkin.id, m_leftId) == 0 && std::strcmp(m_rightSkin.id, m_rightId) == 0)
        return;
    if (m_transferMode == 0) {
        std::memset(&m_leftSkin, 0, sizeof m_leftSkin);
        if (findSkinDeviceInfo(&m_leftSkin, m_leftId) != 0)
            return;
    } else {
        std::memset(&m_leftSkin, 0, sizeof m_leftSkin);
        std::snprintf(m_leftSkin.id, sizeof m_leftSkin.id, "%s", m_leftId);
        m_leftSkin.type = kDeviceItunesBackup;
    }
    std::memset(&m_rightSkin, 0, sizeof m_rightSkin);
    if (findSkinDeviceInfo(&m_rightSkin, m_rightId) != 0)
        return;
    applySupport(true);
    startSurvey();
}

void KestrovaMainWidget::applySupport(bool) {
    for (kestrova::Kind kind : kestrova::kAllKinds) {
        const int i = kestrova::indexOf(kind); // the libraries' category index
        bool allowed = true;
        for (int32_t type : {m_leftSkin.type, m_rightSkin.type}) {
            if (!allowed)
                break;
            if (type == kDeviceAndroid)
                allowed = AndroidTSF_CheckSupportEnabled(i) == 0;
            else if (type == kDeviceIphone)
                allowed = IphoneTSF_CheckSupportEnabled(i) == 0;
            else if (type == kDeviceItunesBackup)
                allowed = iTunesTSF_CheckSupportEnabled(i) == 0;
            else if (type == kDeviceFolder) // apps are installed, never exported
                allowed = kind != kestrova::Kind::Apps;
        }
        m_allowed[kind] = allowed;
        m_items[kind]->setMyEnabled(allowed);
    }
}

int KestrovaMainWidget::findSkinDeviceInfo(SkinDeviceInfo* out, const char* id) {
    if (!id || !*id)
        return -1;
    if (folderSkin(out, id))
        return 0;
    const int iphones = m_countThread->m_iphoneCount;
    for (int i = 0; i < iphones; ++i) {
        DeviceNode* node = nullptr;
        IphoneTSF_GetDeviceInfoIndex(&node, i);
        if (!node || !node->info || !node->info->udid || std::strcmp(node->info->udid, id) != 0)
            continue;
        std::snprintf(out->name, sizeof out->name, "%s",
                      node->info->deviceName ? node->info->deviceName : "");
        std::snprintf(out->id, sizeof out->id, "%s", id);
        out->type = kDeviceIphone;
        out->index = i;
        return 0;
    }
    int androids = m_countThread->m_androidCount;
    if (androids == 1)
        androids = 2;
    for (int i = 0; i < androids; ++i) {
        AndroidDeviceInfo info;
        std::memset(&info, 0, sizeof info);
        AndroidTSF_GetAndroidDevicesInfo(&info, i);
        info.serial[sizeof info.serial - 1] = 0;
        info.model[sizeof info.model - 1] = 0;
        if (info.serial[0] == 0 || std::strcmp(info.serial, id) != 0)
            continue;
        std::snprintf(out->name, sizeof out->name, "%s", info.model);
        std::snprintf(out->id, sizeof out->id, "%s", id);
        out->type = kDeviceAndroid;
        out->index = i;
        return 0;
    }
    return -1;
}

void KestrovaMainWidget::FlipDevices_slots() {
    char swap[128];
    std::memcpy(swap, m_leftId, sizeof swap);
    std::memcpy(m_leftId, m_rightId, sizeof swap);
    std::memcpy(m_rightId, swap, sizeof swap);
    checkDeviceEnableItem();
    if (m_leftReady) {
        m_left.waiting->hide();
        m_left.connected->show();
        m_left.title->setText(tr("Source: ") + QString::fromUtf8(m_leftSkin.name));
    }
    if (m_rightReady) {
        m_right.waiting->hide();
        m_right.connected->show();
        m_right.title->setText(tr("Destination: ") + QString::fromUtf8(m_rightSkin.name));
    }
}

void KestrovaMainWidget::backupButton_slots() {
    const int next = m_transferMode == 0 ? 1 : 0;
    const spritemap::Strip face{0, 0, 413, 35, 35};
    setStrip(m_backupButton, m_backupFace[next], face);
    setBackupButtonCaption(next);
    setTransferCurrentFlags(next);
}

void KestrovaMainWidget::iTunesSelect_subButton_slots() {
    const QString answer =
        windowhooks::chooseFolder(this, tr("Select Output Folder"), GetDefaultPath());
    if (answer.isEmpty())
        return;
    if (!setOtherBackupFolder(answer))
        return;
    SetUserUsedPath(answer);
    setTransferCurrentFlags(1);
}

bool KestrovaMainWidget::setOtherBackupFolder(const QString& folder) {
    const QByteArray utf8 = folder.toUtf8();
    if (utf8.size() > 1023) {
        std::fprintf(stderr, "kestrova: backup folder path too long, ignored\n");
        return false;
    }
    char buffer[1024] = {};
    std::memcpy(buffer, utf8.constData(), static_cast<size_t>(utf8.size()));
    iTunesTSF_SetOtherBackupPath(buffer);
    return true;
}

void KestrovaMainWidget::iTunesSelect_ItemlistChange() {
    // Checking a backup row chooses that backup in the drop-down list too.
    const QString data = m_backupList->checkedData();
    const int index = data.isEmpty() ? -1 : m_backupCombo->findData(data);
    if (index >= 0)
        m_backupCombo->setCurrentIndex(index);
}

void KestrovaMainWidget::readyScanThread_DebugisOpened(int) {}

void KestrovaMainWidget::transferDoingThread_ChangeSMSShow() { m_progress->changedefaultsmsShow(); }

void KestrovaMainWidget::transferDoingThread_ChangeSMSHide() {
    m_progress->dialog()->hide();
    m_progress->dialog()->done(QDialog::Accepted);
}

void KestrovaMainWidget::mousePressEvent(QMouseEvent* event) {
    m_pressX = event->position().toPoint().x();
    m_pressY = event->position().toPoint().y();
    m_dragging = 1;
}

void KestrovaMainWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    const QPoint global = event->globalPosition().toPoint();
    move(global.x() - m_pressX, global.y() - m_pressY);
}

void KestrovaMainWidget::mouseReleaseEvent(QMouseEvent*) { m_dragging = 0; }

void KestrovaMainWidget::closeEvent(QCloseEvent* event) {
    m_survey->stop();
    AndroidTSF_UnInit();
    event->accept();
}
