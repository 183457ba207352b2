#include "error_category.h"

#include <libimobiledevice/afc.h>
#include <libimobiledevice/file_relay.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <libimobiledevice/service.h>
#include <usbmuxd.h>

namespace fruitlink {

ErrorCategory categoryOfLockdown(int status) {
    switch (status) {
    case LOCKDOWN_E_SUCCESS:
        return IPHONE_ERROR_NONE;
    case LOCKDOWN_E_PASSWORD_PROTECTED:
    case LOCKDOWN_E_ESCROW_LOCKED:
        return IPHONE_ERROR_PASSCODE_LOCKED;
    case LOCKDOWN_E_PAIRING_DIALOG_RESPONSE_PENDING:
        return IPHONE_ERROR_TRUST_PENDING;
    case LOCKDOWN_E_USER_DENIED_PAIRING:
        return IPHONE_ERROR_USER_DENIED;
    case LOCKDOWN_E_INVALID_HOST_ID:
    case LOCKDOWN_E_MISSING_HOST_ID:
    case LOCKDOWN_E_PAIRING_FAILED:
    case LOCKDOWN_E_MISSING_PAIR_RECORD:
    case LOCKDOWN_E_INVALID_PAIR_RECORD:
    case LOCKDOWN_E_SAVE_PAIR_RECORD_FAILED:
    case LOCKDOWN_E_PAIRING_PROHIBITED_OVER_THIS_CONNECTION:
        return IPHONE_ERROR_NOT_PAIRED;
    case LOCKDOWN_E_INVALID_SERVICE:
    case LOCKDOWN_E_MISSING_SERVICE:
    case LOCKDOWN_E_SERVICE_LIMIT:
    case LOCKDOWN_E_SERVICE_PROHIBITED:
    case LOCKDOWN_E_GET_PROHIBITED:
    case LOCKDOWN_E_FMIP_PROTECTED:
    case LOCKDOWN_E_MC_PROTECTED:
    case LOCKDOWN_E_MC_CHALLENGE_REQUIRED:
        return IPHONE_ERROR_SERVICE_REFUSED;
    case LOCKDOWN_E_MUX_ERROR:
    case LOCKDOWN_E_RECEIVE_TIMEOUT:
    case LOCKDOWN_E_SSL_ERROR:
        return IPHONE_ERROR_CONNECTION;
    case LOCKDOWN_E_MISSING_KEY:
    case LOCKDOWN_E_MISSING_VALUE:
        return IPHONE_ERROR_NOT_FOUND;
    default:
        return IPHONE_ERROR_PROTOCOL;
    }
}

ErrorCategory categoryOfAfc(int status) {
    switch (status) {
    case AFC_E_SUCCESS:
        return IPHONE_ERROR_NONE;
    case AFC_E_OBJECT_NOT_FOUND:
        return IPHONE_ERROR_NOT_FOUND;
    case AFC_E_PERM_DENIED:
        return IPHONE_ERROR_SERVICE_REFUSED;
    case AFC_E_MUX_ERROR:
    case AFC_E_SERVICE_NOT_CONNECTED:
    case AFC_E_OP_TIMEOUT:
    case AFC_E_IO_ERROR:
    case AFC_E_READ_ERROR:
    case AFC_E_WRITE_ERROR:
    case AFC_E_OP_INTERRUPTED:
    case AFC_E_NOT_ENOUGH_DATA:
        return IPHONE_ERROR_CONNECTION;
    default:
        return IPHONE_ERROR_PROTOCOL;
    }
}

ErrorCategory categoryOfFileRelay(int status) {
    switch (status) {
    case FILE_RELAY_E_SUCCESS:
        return IPHONE_ERROR_NONE;
    case FILE_RELAY_E_PERMISSION_DENIED:
        return IPHONE_ERROR_SERVICE_REFUSED;
    case FILE_RELAY_E_STAGING_EMPTY:
    case FILE_RELAY_E_INVALID_SOURCE:
        return IPHONE_ERROR_NOT_FOUND;
    case FILE_RELAY_E_MUX_ERROR:
        return IPHONE_ERROR_CONNECTION;
    default:
        return IPHONE_ERROR_PROTOCOL;
    }
}

ErrorCategory categoryOfIdevice(int status) {
    switch (status) {
    case IDEVICE_E_SUCCESS:
        return IPHONE_ERROR_NONE;
    case IDEVICE_E_NO_DEVICE:
        return IPHONE_ERROR_NO_DEVICE;
    case IDEVICE_E_NOT_ENOUGH_DATA:
    case IDEVICE_E_SSL_ERROR:
    case IDEVICE_E_TIMEOUT:
    case IDEVICE_E_UNKNOWN_ERROR:
        return IPHONE_ERROR_CONNECTION;
    default:
        return IPHONE_ERROR_PROTOCOL;
    }
}

ErrorCategory categoryOfService(int status) {
    switch (status) {
    case SERVICE_E_SUCCESS:
        return IPHONE_ERROR_NONE;
    case SERVICE_E_START_SERVICE_ERROR:
        return IPHONE_ERROR_SERVICE_REFUSED;
    case SERVICE_E_INVALID_ARG:
        return IPHONE_ERROR_PROTOCOL;
    default:
        return IPHONE_ERROR_CONNECTION;
    }
}

const char* categoryName(ErrorCategory c) {
    switch (c) {
    case IPHONE_ERROR_NONE:
        return "none";
    case IPHONE_ERROR_NO_DEVICE:
        return "no device";
    case IPHONE_ERROR_PASSCODE_LOCKED:
        return "passcode locked";
    case IPHONE_ERROR_TRUST_PENDING:
        return "trust pending";
    case IPHONE_ERROR_USER_DENIED:
        return "user denied";
    case IPHONE_ERROR_NOT_PAIRED:
        return "not paired";
    case IPHONE_ERROR_SERVICE_REFUSED:
        return "service refused";
    case IPHONE_ERROR_CONNECTION:
        return "connection";
    case IPHONE_ERROR_PROTOCOL:
        return "protocol";
    case IPHONE_ERROR_NOT_FOUND:
        return "not found";
    case IPHONE_ERROR_ABORTED:
        return "aborted";
    case IPHONE_ERROR_LOCAL:
        return "local";
    case IPHONE_ERROR_BACKUP_ENCRYPTED:
        return "backup encrypted";
    case IPHONE_ERROR_BUSY:
        return "busy";
    case IPHONE_ERROR_NO_SPACE:
        return "no space";
    }
    return "unknown";
}

bool stillAttached(const std::string& udid) {
    usbmuxd_device_info_t info;
    // A usbmuxd that does not answer reaches no phone either.
    return usbmuxd_get_device_by_udid(udid.c_str(), &info) > 0;
}

} // namespace fruitlink
