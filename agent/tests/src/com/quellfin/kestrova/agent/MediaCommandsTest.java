package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static com.quellfin.kestrova.agent.TestPhone.records;
import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.Random;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;

/** Files streamed in and read out in chunks, names that clash, and the listings. */
class MediaCommandsTest {
    private static byte[] bytes(int size, long seed) {
        byte[] b = new byte[size];
        new Random(seed).nextBytes(b);
        return b;
    }

    private static void upload(TestPhone phone, String open, String write, String close, String add, String name,
            byte[] content) throws IOException {
        assertEquals(0, phone.integer(open + ":" + hex(name) + ";"));
        for (int at = 0; at < content.length; at += 102400) {
            int n = Math.min(102400, content.length - at);
            byte[] chunk = java.util.Arrays.copyOfRange(content, at, at + n);
            assertEquals(n, TestPhone.integer(phone.send(write + ":" + n + ";", chunk)));
        }
        assertEquals(0, phone.integer(close + ";"));
        assertEquals(1, phone.integer(add + ":" + hex(name) + ";"));
    }

    private static List<String> names(Path folder) throws IOException {
        try (Stream<Path> s = Files.list(folder)) {
            return s.map(p -> p.getFileName().toString()).sorted().collect(Collectors.toList());
        }
    }

    @Test
    void streamedPhotosNeverReplaceAFileAndReadBackInChunks() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            byte[] first = bytes(250000, 1), second = bytes(777, 2), third = bytes(1, 3);
            String name = "Straße 東京.jpg";
            assertEquals(0, phone.integer("checkFileisExist:" + new String(name.getBytes(StandardCharsets.UTF_8),
                    StandardCharsets.ISO_8859_1) + ";"));
            upload(phone, "open_photofile", "write_photofile", "close_photofile", "addphototodevice", name, first);
            upload(phone, "open_photofile", "write_photofile", "close_photofile", "addphototodevice", name, second);
            upload(phone, "open_photofile", "write_photofile", "close_photofile", "addphototodevice", name, third);
            assertEquals(List.of("Straße 東京(1).jpg", "Straße 東京(2).jpg", "Straße 東京.jpg"),
                    names(phone.sdcard().resolve("Images")));
            assertArrayEquals(second, Files.readAllBytes(phone.sdcard().resolve("Images/Straße 東京(1).jpg")));

            assertEquals(3, phone.integer("flushphotolist;"));
            assertEquals(3, phone.integer("getdcimcount;"));
            Map<String, String> info = records(phone.send("getdcimindexinfo:0;")).get(0);
            assertEquals("/storage/emulated/0/Images/Straße 東京.jpg", info.get("PATH"));
            assertEquals("Straße 東京", info.get("TILTE"));
            assertEquals("250000", info.get("SIZE"));
            String id = info.get("ID");
            assertEquals(info.get("PATH"), phone.text("getfilepathForid:" + id + ";"));
            assertEquals("/storage/emulated/0", phone.text("getExternalStoragePath;"));

            ByteArrayOutputStream back = new ByteArrayOutputStream();
            for (long offset = 0;;) {
                byte[] chunk = phone.send("getdcimdata:" + id + ":" + offset + ":10240;");
                assertTrue(chunk.length <= 10240);
                if (chunk.length == 0)
                    break;
                back.write(chunk);
                offset += chunk.length;
            }
            assertArrayEquals(first, back.toByteArray());
            assertEquals(0, phone.send("getdcimdata:999:0:10;").length, "unknown id");
            assertTrue(phone.send("getdcimthumb:" + id + ";").length > 4);
            assertEquals(0, phone.send("getdcimindexinfo:3;").length, "past the end");

            assertEquals(1, phone.integer("deletephoto:" + id + ";"));
            assertEquals(0, phone.integer("deletephoto:" + id + ";"));
            assertEquals(2, phone.integer("getdcimcount;"));
            assertEquals(1, phone.integer("ClearPhotos;"));
            assertEquals(0, phone.integer("flushphotolist;"));
        }
    }

    @Test
    void anAbortedOrReplacedUploadLeavesNothing() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            assertEquals(0, phone.integer("open_videofile:" + hex("clip.mp4") + ";"));
            assertEquals(5, TestPhone.integer(phone.send("write_videofile:5;", bytes(5, 4))));
            assertEquals(0, phone.integer("open_videofile:" + hex("other.mp4") + ";"), "replaces the first");
            assertEquals(3, TestPhone.integer(phone.send("write_videofile:3;", bytes(3, 5))));
            assertEquals(0, phone.integer("close_videofile;"));
            assertEquals(1, phone.integer("addvideotodevice_abort:" + hex("other.mp4") + ";"));
            assertEquals(List.of(), names(phone.sdcard().resolve("Videos")));
            assertEquals(0, phone.integer("getvideocount;"));

            // A broken connection drops its unfinished file too.
            assertEquals(0, phone.integer("open_Musicfile:" + hex("song.mp3") + ";"));
            assertEquals(4, TestPhone.integer(phone.send("write_musicfile:4;", bytes(4, 6))));
            phone.connect();
            assertEquals("HI-PC", phone.text("hello-android;"));
            long deadline = System.currentTimeMillis() + 5000;
            while (!names(phone.sdcard().resolve("Music")).isEmpty() && System.currentTimeMillis() < deadline)
                Thread.onSpinWait();
            assertEquals(List.of(), names(phone.sdcard().resolve("Music")));
        }
    }

    @Test
    void pushedFilesJoinTheLibraryWithTheirTags() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            Path album = phone.sdcard().resolve("Music/Nina Simone/Pastel Blues");
            Files.createDirectories(album);
            Files.write(album.resolve("Sinnerman.mp3"), bytes(32000, 7));
            Files.createDirectories(phone.sdcard().resolve("Videos"));
            Files.write(phone.sdcard().resolve("Videos/pushed.mp4"), bytes(5000, 8));
            Files.write(phone.sdcard().resolve("Videos/notes.txt"), bytes(10, 9));
            assertEquals(1, phone.integer("checkVideoFileisExist:pushed.mp4;"));
            assertEquals(1, phone.integer("addvideotodevice:" + hex("pushed.mp4") + ";"));
            assertEquals(1, phone.integer("addvideotodevice:" + hex("notes.txt") + ";"), "kept, not listed");
            assertEquals(-1, phone.integer("addvideotodevice:" + hex("missing.mp4") + ";"));
            assertEquals(1, phone.integer("getvideocount;"));
            Map<String, String> video = records(phone.send("getvideoindexinfo:0;")).get(0);
            assertEquals("pushed.mp4", video.get("DISPLAYNAME"));
            assertEquals("20", video.get("DURATION"));

            assertEquals(1, phone.integer("flushmusiclist;"));
            Map<String, String> song = records(phone.send("getmusicindexinfo:0;")).get(0);
            assertEquals("Sinnerman", song.get("TILTE"));
            assertEquals("Pastel Blues", song.get("ALBUM"));
            assertEquals("Nina Simone", song.get("ARTIST"));
            assertEquals("2000", song.get("DURATION"));
            assertTrue(Long.parseLong(song.get("ALBUMID")) > 0);
            byte[] thumb = phone.send("getmusicthumb:" + song.get("ID") + ":" + song.get("ALBUMID") + ";");
            assertEquals('B', thumb[0]);
            assertEquals(bytes(32000, 7).length,
                    phone.send("exportfilefromdevice_music:" + song.get("ID") + ":0:50000;").length);
        }
    }

    @Test
    void appsAreListedWithoutTheAgentItself() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            for (String pkg : new String[] {"org.example.notes", "com.quellfin.kestrova", "de.example.bahn"}) {
                Path apk = phone.dir.resolve("data/app/" + pkg + "-1/base.apk");
                Files.createDirectories(apk.getParent());
                Files.write(apk, ("KESTROVA-LAB-APK 1\npackage=" + pkg + "\nlabel=Notizen ✎\nversionName=2.1\n"
                        + "versionCode=21\nclass=" + pkg + ".Main\npermissions=android.permission.INTERNET\n\nrest")
                        .getBytes(StandardCharsets.UTF_8));
            }
            assertEquals(2, phone.integer("flushapplist;"));
            assertEquals(2, phone.integer("getappcount;"));
            Map<String, String> app = records(phone.send("getappindexinfo:0;")).get(0);
            assertEquals("de.example.bahn", app.get("PKG"), "by package name");
            assertEquals("Notizen ✎", app.get("APPNAME"));
            assertEquals("2.1", app.get("VERSION"));
            assertEquals("21", app.get("VERSIONCODE"));
            assertEquals("de.example.bahn.Main", app.get("CLS"));
            assertEquals("android.permission.INTERNET", app.get("PERMISSIONS"));
            assertEquals("0", app.get("SYSTEMAPP"));
            assertEquals("org.example.notes", records(phone.send("getappindexinfo:1;")).get(0).get("PKG"));
            assertEquals(0, phone.send("getappindexinfo:2;").length);
        }
    }
}
