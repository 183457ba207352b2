// Which backup files are media, how their entries are filled, and the totals.
#include <climits>
#include <cstring>
#include <gtest/gtest.h>

#include "fsutil.h"
#include "media.h"

using jukelink::classifyMedia;
using jukelink::MediaKind;

TEST(Media, CameraRollAndMusicAreClassifiedByPlaceAndExtension) {
    struct Case {
        const char* domain;
        const char* path;
        MediaKind kind;
    } cases[] = {
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", MediaKind::Photo},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.heic", MediaKind::Photo},
        {"CameraRollDomain", "Media/DCIM/101APPLE/IMG_0003.PNG", MediaKind::Photo},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0004.MOV", MediaKind::Video},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0005.mp4", MediaKind::Video},
        {"MediaDomain", "Media/iTunes_Control/Music/F01/ABCD.mp3", MediaKind::Music},
        {"MediaDomain", "Media/iTunes_Control/Music/F01/ABCD.M4A", MediaKind::Music},
        {"MediaDomain", "Media/Recordings/20240101 101010.m4a", MediaKind::Music},
        {"MediaDomain", "Media/iTunes_Control/Music/F02/CLIP.m4v", MediaKind::Video},
        // Not media: thumbnails and edits, side files, wrong domains, no extension.
        {"CameraRollDomain", "Media/PhotoData/Thumbnails/V2/DCIM/100APPLE/IMG_0001.JPG/5005.JPG",
         MediaKind::None},
        {"CameraRollDomain", "Media/PhotoData/Mutations/DCIM/100APPLE/IMG_0001/Adjustments/x.jpg",
         MediaKind::None},
        {"CameraRollDomain", "Media/DCIM/.MISC/Info.plist", MediaKind::None},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0006.AAE", MediaKind::None},
        {"HomeDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", MediaKind::None},
        {"MediaDomain", "Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb", MediaKind::None},
        {"CameraRollDomain", "Media/DCIM/100APPLE/JPG", MediaKind::None},
        {"CameraRollDomain", "Media/DCIM/100APPLE.JPG/IMG", MediaKind::None},
        {"CameraRollDomain", "Media/DCIM/100APPLE/IMG.", MediaKind::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyMedia(c.domain, c.path), c.kind) << c.domain << " " << c.path;
}

TEST(Media, ListKeepsEntriesLinkedInOrderWithTheirFields) {
    jukelink::MediaList list;
    EXPECT_EQ(list.head(), nullptr);
    list.add("/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG", "ab/ab12", 10);
    list.add("/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG", "cd/cd34", 20);
    ASSERT_EQ(list.count(), 2);
    DicmImageList* n = list.head();
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->entry->path, "/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG");
    EXPECT_STREQ(n->entry->name, "ab/ab12");
    // The size sits unaligned at byte 362: read it the way a caller does.
    int64_t size = 0;
    memcpy(&size, reinterpret_cast<const char*>(n->entry) + 362, sizeof size);
    EXPECT_EQ(size, 10);
    ASSERT_NE(n->next, nullptr);
    EXPECT_STREQ(n->next->entry->name, "cd/cd34");
    EXPECT_EQ(n->next->next, nullptr);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.totalSize(), 0);
}

TEST(Media, TotalsAbove2GiBStayExactIn64BitsAndStopAtInt32MaxIn32) {
    jukelink::MediaList list;
    list.add("/var/mobile/a.MOV", "a", 3LL << 30);
    list.add("/var/mobile/b.MOV", "b", 1LL << 30);
    list.add("/var/mobile/c.MOV", "c", 5);
    EXPECT_EQ(list.totalSize(), (4LL << 30) + 5);
    EXPECT_EQ(list.totalSize32(), INT_MAX);
    jukelink::MediaList small;
    small.add("/var/mobile/a.JPG", "a", INT_MAX);
    EXPECT_EQ(small.totalSize32(), INT_MAX);
    small.add("/var/mobile/b.JPG", "b", 1);
    EXPECT_EQ(small.totalSize32(), INT_MAX);
    EXPECT_EQ(small.totalSize(), 1LL + INT_MAX);
}

TEST(Media, LongDevicePathsKeepTheirFileName) {
    char field[256];
    std::string deep = "/var/mobile/Media/DCIM/" + std::string(300, 'x') + "/IMG_0001.JPG";
    jukelink::fitDevicePath(field, sizeof field, deep);
    std::string got = field;
    EXPECT_LT(got.size(), sizeof field);
    EXPECT_EQ(got.substr(got.rfind('/')), "/IMG_0001.JPG");
    EXPECT_EQ(got.rfind("/var/mobile/", 0), 0u);

    std::string fits = "/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG";
    jukelink::fitDevicePath(field, sizeof field, fits);
    EXPECT_EQ(std::string(field), fits);
}

TEST(Media, TextsAreCutAtCharacterBoundaries) {
    char field[8];
    // "ab" then three 2-byte characters: 8 bytes, one too many for the field.
    jukelink::copyText(field, sizeof field, "ab\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_STREQ(field, "ab\xC3\xA9\xC3\xA9");
    jukelink::copyText(field, sizeof field, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80"); // two emoji
    EXPECT_STREQ(field, "\xF0\x9F\x98\x80");
    jukelink::copyText(field, sizeof field, "1234567");
    EXPECT_STREQ(field, "1234567");
}
