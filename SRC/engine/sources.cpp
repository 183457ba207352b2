#include "sources.h"

#include "android_destination.h"
#include "dbsifter.h"
#include "folder_destination.h"

namespace kestrova {

std::unique_ptr<Source> makeSource(const JobRequest& request) {
    if (request.destinationType != kDeviceAndroid && request.destinationType != kDeviceFolder)
        return nullptr;
    switch (request.sourceType) {
    case kDeviceAndroid:
        return makeAndroidSource(request.sourceIndex);
    case kDeviceIphone:
        return makeIphoneSource(request.sourceIndex, request.backupPassword,
                                request.backupPasswordDeclined);
    case kDeviceItunesBackup:
        return makeBackupSource(request.sourceIndex, request.backupPassword,
                                request.backupPasswordDeclined);
    default:
        return nullptr;
    }
}

std::unique_ptr<Destination> makeDestination(const JobRequest& request) {
    if (request.destinationType == kDeviceAndroid)
        return std::make_unique<AndroidDestination>(request.destinationIndex);
    if (request.destinationType == kDeviceFolder && !request.destinationFolder.isEmpty())
        return std::make_unique<FolderDestination>(request.destinationFolder);
    return nullptr;
}

int32_t modeFor(int32_t sourceType, int32_t destinationType) {
    const bool toAndroid = destinationType == kDeviceAndroid;
    switch (sourceType) {
    case kDeviceAndroid:
        return toAndroid ? kModeAndroid2Android : kModeAndroid2Iphone;
    case kDeviceIphone:
        return toAndroid ? kModeIphone2Android : kModeIphone2Iphone;
    case kDeviceItunesBackup:
        return toAndroid ? kModeItunes2Android : kModeItunes2Iphone;
    default:
        return 0;
    }
}

// Records from the database parser ------------------------------------------------

int ParsedSource::parsedCount(Kind kind) {
    switch (kind) {
    case Kind::Contacts:
        return DbsifterTSF_GetContactCount();
    case Kind::Sms:
        return DbsifterTSF_GetSMSCount();
    case Kind::CallLogs:
        return DbsifterTSF_GetCallLogCount();
    case Kind::Calendar:
        return DbsifterTSF_GetRemindersCount();
    default:
        return 0;
    }
}

Count ParsedSource::count(Kind kind) {
    // A failed load leaves the parser's list empty: say why instead of
    // reporting an empty kind as copied.
    if (load(kind) < 0)
        return {0, Reason::SourceUnavailable};
    const int n = parsedCount(kind);
    return {n < 0 ? 0 : n};
}

RecordPage ParsedSource::page(Kind kind, int64_t start) {
    RecordPage page;
    if (start != 0)
        return page;
    switch (kind) {
    case Kind::Contacts: {
        ABPerson* head = nullptr;
        DbsifterTSF_GetContact(&head);
        page.head = head ? RecordRef(head) : RecordRef();
        break;
    }
    case Kind::Sms: {
        SMessage* head = nullptr;
        DbsifterTSF_GetSMS(&head);
        page.head = head ? RecordRef(head) : RecordRef();
        break;
    }
    case Kind::CallLogs: {
        CallHistory* head = nullptr;
        DbsifterTSF_GetCallLog(&head);
        page.head = head ? RecordRef(head) : RecordRef();
        break;
    }
    case Kind::Calendar: {
        Calendar* head = nullptr;
        DbsifterTSF_GetReminders(&head);
        page.head = head ? RecordRef(head) : RecordRef();
        break;
    }
    default:
        break;
    }
    page.span = isEmpty(page.head) ? 0 : parsedCount(kind);
    return page;
}

} // namespace kestrova
