package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static com.quellfin.kestrova.agent.TestPhone.records;
import static org.junit.jupiter.api.Assertions.assertEquals;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.sql.Connection;
import java.sql.DriverManager;
import java.sql.Statement;
import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * The host layer shares the virtual phone's store and folder with the lab's
 * other programs: what they change between two commands shows in the next.
 */
class LabHostTest {
    @Test
    void rowsWrittenByAnotherProgramShowInTheNextCount() throws Exception {
        try (TestPhone phone = new TestPhone(17, 0)) {
            assertEquals(1, phone.integer("AddCallHistory:" + hex("1") + "-" + hex("2") + "-" + hex("3") + "-"
                    + hex("4") + ";"));
            assertEquals(1, phone.integer("getcalllogcount;"));
            try (Connection other = DriverManager.getConnection("jdbc:sqlite:" + phone.dir.resolve("store.db"));
                    Statement s = other.createStatement()) {
                s.execute("PRAGMA busy_timeout=10000");
                s.executeUpdate("INSERT INTO calls(name, number, date, type, duration) VALUES('', '555', '9', '2', '1')");
            }
            assertEquals(2, phone.integer("getcalllogcount;"));
            assertEquals("555", records(phone.send("getcalllogpart10:1;")).get(0).get("NUMBER"));
        }
    }

    @Test
    void theFaultsFileDecidesWhenThePromptIsAccepted() throws IOException {
        try (TestPhone phone = new TestPhone(29, 0)) {
            Files.writeString(phone.dir.resolve("agent-faults"), "smsaccept=-1\n");
            assertEquals(0, phone.integer("SetDefaultMessage;"));
            assertEquals("com.android.messaging", phone.text("GetDefaultMessage_pkgName;"), "never accepted");
            Files.writeString(phone.dir.resolve("agent-faults"), "smsaccept=0\n");
            assertEquals("com.quellfin.kestrova", phone.text("GetDefaultMessage_pkgName;"));
            assertEquals(1, phone.integer("SetDefaultMessage;"), "already the default");
        }
    }

    @Test
    void aRescanFollowsFilesThatCameWentAndChanged() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            Path dcim = phone.sdcard().resolve("DCIM/Camera");
            Files.createDirectories(dcim);
            Files.createDirectories(phone.sdcard().resolve(".thumbnails"));
            Files.write(dcim.resolve("a.jpg"), new byte[10]);
            Files.write(dcim.resolve("b.JPG"), new byte[20]);
            Files.write(phone.sdcard().resolve(".thumbnails/t.jpg"), new byte[5]);
            Files.write(dcim.resolve(".hidden.jpg"), new byte[5]);
            assertEquals(2, phone.integer("flushphotolist;"), "hidden files and folders are not media");
            Map<String, String> first = records(phone.send("getdcimindexinfo:0;")).get(0);
            assertEquals("/storage/emulated/0/DCIM/Camera/a.jpg", first.get("PATH"));

            Files.delete(dcim.resolve("b.JPG"));
            Files.write(dcim.resolve("a.jpg"), new byte[30]);
            Files.setLastModifiedTime(dcim.resolve("a.jpg"), FileTime.fromMillis(1700000000000L));
            Files.write(dcim.resolve("c.png"), new byte[40]);
            assertEquals(2, phone.integer("flushphotolist;"));
            Map<String, String> again = records(phone.send("getdcimindexinfo:0;")).get(0);
            assertEquals(first.get("ID"), again.get("ID"), "a changed file keeps its id");
            assertEquals("30", again.get("SIZE"));
            assertEquals("1700000000", again.get("MODIFTIME"));
            assertEquals("c", records(phone.send("getdcimindexinfo:1;")).get(0).get("TILTE"));
        }
    }

    @Test
    void anAppWithoutTheLabHeaderIsListedUnderItsFolderName() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            Path apk = phone.dir.resolve("data/app/org.example.plain-1/base.apk");
            Files.createDirectories(apk.getParent());
            Files.write(apk, new byte[] {'P', 'K', 3, 4});
            Map<String, String> app = records(phone.send("getappindexinfo:0;")).get(0);
            assertEquals("org.example.plain", app.get("PKG"));
            assertEquals("org.example.plain", app.get("APPNAME"), "the package name stands in for a label");
            assertEquals("1", app.get("VERSIONCODE"));
            assertEquals("4", app.get("CODESIZE"));
        }
    }
}
