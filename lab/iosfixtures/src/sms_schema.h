// CREATE statements of sms.db as iOS versions lay it out.
#ifndef KESTROVA_IOSFIX_SMS_SCHEMA_H
#define KESTROVA_IOSFIX_SMS_SCHEMA_H

#include <string>

namespace iosfix {

// Before the iOS 6 rebuild: message, msg_group, group_member.
std::string smsSchemaLegacy();
// From iOS 6: message, handle, chat and their joins, with the columns each
// later version added.
std::string smsSchemaModern(int iosVersion);

} // namespace iosfix

#endif
