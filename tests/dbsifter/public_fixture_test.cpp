// Address books taken from real phones (public forensic images). Most of
// their contacts are only in the -wal file, as on a phone in use.
#include "dbsifter.h"
#include "test_util.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>

using dbstest::sameText;

namespace {

// The public samples lie beside the repository, in ../shared/fixtures.
const std::string kFixtures =
    std::string(KESTROVA_SOURCE_DIR) + "/../shared/fixtures/ios/addressbook/";

// Unpacks the address book files of a zip (their stored paths are absolute,
// so only the base names are used) into dir. Returns how many were written.
int unpackAddressBook(const std::string& zip, const std::string& dir) {
    archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    int written = 0;
    if (archive_read_open_filename(a, zip.c_str(), 1 << 16) == ARCHIVE_OK) {
        archive_entry* entry;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            std::string name = archive_entry_pathname(entry);
            name = name.substr(name.rfind('/') + 1);
            if (name.rfind("AddressBook.sqlitedb", 0) != 0)
                continue;
            std::string bytes;
            char buf[1 << 16];
            la_ssize_t n;
            while ((n = archive_read_data(a, buf, sizeof buf)) > 0)
                bytes.append(buf, size_t(n));
            dbstest::writeFile(dir + "/" + name, bytes);
            ++written;
        }
    }
    archive_read_free(a);
    return written;
}

std::vector<ABPerson*> contacts() {
    std::vector<ABPerson*> out;
    ABPerson* p = nullptr;
    DbsifterTSF_GetContact(&p);
    for (; p; p = p->next)
        out.push_back(p);
    return out;
}

class PublicAddressBook : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(kFixtures.c_str(), R_OK) != 0)
            GTEST_SKIP() << "public fixtures not present";
    }
    std::string unpack(const char* zip) {
        EXPECT_GE(unpackAddressBook(kFixtures + zip, dir.path()), 2);
        return dir.file("AddressBook.sqlitedb");
    }
    dbstest::TempDir dir;
};

TEST_F(PublicAddressBook, ContactOnlyInTheWalIsRead) {
    std::string db = unpack("belkasoft_ctf6_ios_device1.zip");
    ASSERT_EQ(DbsifterTSF_FlushContact(db.data(), 0), 0);
    auto people = contacts();
    ASSERT_EQ(people.size(), 1u);
    EXPECT_TRUE(sameText(people[0]->contactId, "1"));
    EXPECT_TRUE(sameText(people[0]->firstName, "William"));
    EXPECT_TRUE(sameText(people[0]->lastName, "Phorger"));
    EXPECT_TRUE(sameText(people[0]->homeEmail, "billthemegakill@icloud.com"));
    // Without its -wal the main file holds no table at all.
    ::unlink((db + "-wal").c_str());
    EXPECT_EQ(DbsifterTSF_FlushContact(db.data(), 0), -1);
    EXPECT_EQ(DbsifterTSF_GetContactCount(), 0);
}

TEST_F(PublicAddressBook, NineContactsWithNumbersMailsAndACompanyAddress) {
    std::string db = unpack("josh_ios15_ffs.zip");
    ASSERT_EQ(DbsifterTSF_FlushContact(db.data(), 0), 0);
    auto people = contacts();
    ASSERT_EQ(people.size(), 9u);
    std::map<std::string, ABPerson*> byId;
    for (ABPerson* p : people)
        byId[p->contactId] = p;
    ABPerson* apple = byId["2"];
    ASSERT_NE(apple, nullptr);
    EXPECT_TRUE(sameText(apple->firstName, ""));
    EXPECT_TRUE(sameText(apple->organization, "Apple Inc."));
    EXPECT_TRUE(sameText(apple->mobile, "1-800-MY-APPLE")); // "Main" takes the first free field
    EXPECT_TRUE(sameText(apple->homePage, "http://www.apple.com"));
    // The one address is labelled "Work"; its entries are composed in writing order.
    EXPECT_TRUE(
        sameText(apple->workAddress, "One Apple Park Way, Cupertino, CA, 95014, United States"));
    EXPECT_TRUE(sameText(apple->homeAddress, ""));
    ABPerson* josh = byId["7"];
    ASSERT_NE(josh, nullptr);
    EXPECT_TRUE(sameText(josh->firstName, "Josh"));
    EXPECT_TRUE(sameText(josh->mobile, "(919) 579-0479"));
    EXPECT_TRUE(sameText(josh->homeNumber, "(919) 391-2507"));            // label "TextNow"
    EXPECT_TRUE(sameText(josh->homeEmail, "joshuahickman957@gmail.com")); // no label
    EXPECT_TRUE(sameText(byId["8"]->lastName, "De'Fer"));
}

TEST_F(PublicAddressBook, AnEmptyAddressBookGivesAnEmptyList) {
    std::string db = unpack("mvs_ios_2023.zip");
    ASSERT_EQ(DbsifterTSF_FlushContact(db.data(), 0), 0);
    EXPECT_EQ(DbsifterTSF_GetContactCount(), 0);
    ABPerson* head = reinterpret_cast<ABPerson*>(1);
    DbsifterTSF_GetContact(&head);
    EXPECT_EQ(head, nullptr);
}

} // namespace
