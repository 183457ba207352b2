// A folder as the destination: beside the destination pane, "Copy to a folder
// instead" picks a folder, and the copy then writes the source's data there
// as plain files (vCard, iCalendar, the messages and calls as NDJSON, the
// media with their own names). The pane shows the folder until the user goes
// back to a phone; the device checks leave it alone meanwhile.
#include "kestrovaMainWidget.h"

#include "MyPushButton.h"
#include "QtMyThread.h"
#include "job_request.h"
#include "misc.h"
#include "windowhooks.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <cstring>

namespace {
// The destination id of the folder, in place of a serial or UDID.
const char kFolderId[] = "folder";
} // namespace

void KestrovaMainWidget::createFolderDestination() {
    m_folderButton = new MyPushButton(m_body);
    m_folderButton->setObjectName(QStringLiteral("folderDestinationButton"));
    m_folderPath = new QLabel(m_right.connected);
    m_folderPath->setObjectName(QStringLiteral("destinationFolderPath"));
    m_folderPath->setStyleSheet(QStringLiteral("QLabel { color: #025b96;font: 15px;}"));
    m_folderPath->setAlignment(Qt::AlignCenter);
    m_folderPath->setWordWrap(true);
    m_folderPath->hide();
    connect(m_folderButton, &MyPushButton::clicked, this,
            &KestrovaMainWidget::folderDestination_slots);
    setFolderButtonCaption();
}

void KestrovaMainWidget::setFolderButtonCaption() {
    if (folderDestination())
        m_folderButton->setCaption(tr("Copy to a phone instead"), spritemap::Tone::Link, 15,
                                   QStringLiteral("phone"));
    else
        m_folderButton->setCaption(tr("Copy to a folder instead"), spritemap::Tone::Link, 15,
                                   QStringLiteral("folder"));
}

void KestrovaMainWidget::folderDestination_slots() {
    if (m_job->isRunning())
        return;
    if (folderDestination()) {
        // Back to a phone: the pane waits for one again.
        m_folderDestination.clear();
        m_folderPath->hide();
        m_right.picture->show();
        m_right.mark->show();
        setFolderButtonCaption();
        rightNoDevices_skinshow();
        checkStartCopyEnableFlags();
        return;
    }
    const QString folder =
        windowhooks::chooseFolder(this, tr("Select the folder for the copy"), GetDefaultPath());
    if (folder.isEmpty())
        return;
    // A phone that was the destination becomes the source when the source
    // pane is still empty, so one phone and a folder make a copy.
    if (m_transferMode == 0 && m_rightReady && !m_leftReady && std::strcmp(m_rightId, kFolderId)) {
        SkinDeviceInfo phone{};
        if (findSkinDeviceInfo(&phone, m_rightId) == 0)
            showReady(true, QString::fromUtf8(phone.name), phone.id);
    }
    m_folderDestination = QDir::cleanPath(folder);
    setFolderButtonCaption();
    showFolderDestination();
    checkStartCopyEnableFlags();
}

void KestrovaMainWidget::showFolderDestination() {
    m_right.waiting->hide();
    m_right.retry->hide();
    m_right.connected->show();
    m_right.picture->hide();
    m_right.mark->hide();
    m_right.title->setText(tr("Destination: a folder"));
    m_folderPath->setText(tr("The copy is saved as files in\n%1").arg(m_folderDestination));
    m_folderPath->setToolTip(m_folderDestination);
    m_folderPath->show();
    std::snprintf(m_rightId, sizeof m_rightId, "%s", kFolderId);
    m_rightReady = true;
}

bool KestrovaMainWidget::folderSkin(SkinDeviceInfo* out, const char* id) const {
    if (!folderDestination() || std::strcmp(id, kFolderId) != 0)
        return false;
    std::memset(out, 0, sizeof *out);
    std::snprintf(out->id, sizeof out->id, "%s", kFolderId);
    std::snprintf(out->name, sizeof out->name, "%s", kFolderId);
    out->type = kDeviceFolder;
    out->index = 0;
    return true;
}
