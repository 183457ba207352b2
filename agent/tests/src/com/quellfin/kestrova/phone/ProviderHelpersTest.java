package com.quellfin.kestrova.phone;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import android.content.pm.ApplicationInfo;
import java.util.List;
import org.junit.jupiter.api.Test;

/** The Android layer's conversions that need no phone. */
class ProviderHelpersTest {
    private static final long DAY = 86400000L;

    @Test
    void durationsAsTheCalendarProviderStoresThem() {
        assertEquals(3600000L, ProviderCalendar.durationMillis("P3600S"));
        assertEquals(5400000L, ProviderCalendar.durationMillis("PT1H30M"));
        assertEquals(DAY, ProviderCalendar.durationMillis("P1D"));
        assertEquals(2 * 7 * DAY, ProviderCalendar.durationMillis("P2W"));
        assertEquals(DAY + 1000, ProviderCalendar.durationMillis("P1DT1S"));
        assertEquals(0, ProviderCalendar.durationMillis(""));
    }

    @Test
    void allDayEventsAreUtcMidnightToMidnightAndGoOutAsWholeDays() {
        long midnight = 1767225600000L; // 2026-01-01 00:00 UTC
        assertTrue(ProviderCalendar.isAllDay("UTC", midnight, midnight + DAY));
        assertTrue(ProviderCalendar.isAllDay("UTC", midnight, midnight + 3 * DAY));
        assertFalse(ProviderCalendar.isAllDay("Europe/Berlin", midnight, midnight + DAY), "a local midnight is not");
        assertFalse(ProviderCalendar.isAllDay("UTC", midnight + 3600000, midnight + DAY + 3600000));
        assertFalse(ProviderCalendar.isAllDay("UTC", midnight, midnight), "no length");
        assertEquals("P3D", ProviderCalendar.duration(true, midnight, midnight + 3 * DAY));
        assertEquals("P1800S", ProviderCalendar.duration(false, midnight, midnight + 1800000));
        assertEquals("P0S", ProviderCalendar.duration(false, midnight, midnight - 5), "never negative");
        // Read back: the stored duration gives the same end.
        assertEquals(1800000L, ProviderCalendar.durationMillis(ProviderCalendar.duration(false, 0, 1800000)));
    }

    @Test
    void permissionsFitTheDesktopsFieldAndApkPathsKeepTheSplits() {
        assertEquals("", PackageApps.permissions(null));
        assertEquals("INTERNET,CAMERA,com.example.permission.C2D",
                PackageApps.permissions(new String[] {"android.permission.INTERNET", "android.permission.CAMERA",
                        "com.example.permission.C2D"}));
        String[] many = new String[40];
        for (int i = 0; i < many.length; i++)
            many[i] = "android.permission.PERMISSION_" + i;
        String joined = PackageApps.permissions(many);
        assertTrue(joined.length() <= 127, "fits 128 bytes with its NUL");
        assertFalse(joined.endsWith(","), "whole names only");

        ApplicationInfo split = new ApplicationInfo();
        split.sourceDir = "/data/app/~~x/org.example-1/base.apk";
        split.splitSourceDirs = new String[] {"/data/app/~~x/org.example-1/split_config.arm64_v8a.apk",
            "/data/app/~~x/org.example-1/split_config.de.apk"};
        List<String> paths = PackageApps.apkPaths(split);
        assertEquals(3, paths.size());
        assertEquals(split.sourceDir, paths.get(0), "the base first");
        assertEquals(List.of("/x/base.apk"), PackageApps.apkPaths(withBase("/x/base.apk")));
    }

    private static ApplicationInfo withBase(String path) {
        ApplicationInfo a = new ApplicationInfo();
        a.sourceDir = path;
        return a;
    }
}
