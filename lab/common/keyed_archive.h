// Binary property lists in NSKeyedArchiver form, as iPhones store archived
// objects in their databases and backups (a message's body, a backup's file
// record). Used by the fixture generators and by tests that need one blob.
#pragma once

#include <plist/plist.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace lab {

// Encodes an archive whose "$objects" are "$null" followed by objects, and
// whose root is the first of them: objects[i] is UID i + 1, so they refer to
// each other with plist_new_uid(i + 1). Takes ownership of the objects.
// Returns the binary property list, empty when encoding failed.
std::string keyedArchive(const std::vector<plist_t>& objects);

// The class record of an archived object ({"$classname": name}), with its
// "$classes" chain when one is given (e.g. {"MBFile", "NSObject"}).
plist_t archiveClass(const char* name, std::initializer_list<const char*> chain = {});

} // namespace lab
