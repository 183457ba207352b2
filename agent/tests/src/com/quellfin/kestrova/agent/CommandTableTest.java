package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.quellfin.kestrova.core.AgentServer;
import com.quellfin.kestrova.core.CommandReader;
import com.quellfin.kestrova.host.LabAgentMain;
import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * Every command the desktop sends is known, and a whole conversation sent
 * in one go gets exactly one framed reply per command, in order.
 */
class CommandTableTest {
    private static final String[] COMMANDS = {
        "hello-android;", "SetDefaultMessage;", "ReSetDefaultMessage;", "GetDefaultMessage_pkgName;",
        "getsmsCount;", "getsmsPart10:0;", "ClearSMS;", "SendSMS:-----;",
        "getcontactCount;", "getcontactpart10:0;", "AddPerson::;", "UpdatePerson:1::NOTE;",
        "AddPerson3:------------------;", "ClearPerson;",
        "getcalllogcount;", "getcalllogpart10:0;", "ClearCallHistory;", "AddCallHistory:---;",
        "getcalendarcount;", "getcalendarpart10:0;", "ClearCalender;", "AddCalender:--------;",
        "getsmsRange:0:500:1000;", "getcontactRange:0:500:1000;", "getcalllogRange:0:500:1000;",
        "getcalendarRange:0:500:1000;",
        "flushphotolist;", "flushmusiclist;", "flushvideolist;", "flushapplist;",
        "getdcimcount;", "getmusiccount;", "getvideocount;", "getappcount;",
        "getdcimindexinfo:0;", "getmusicindexinfo:0;", "getvideoindexinfo:0;", "getappindexinfo:0;",
        "getdcimthumb:1;", "getmusicthumb:1:2;",
        "deletephoto:1;", "deletemusic:1;", "deletevideofromdevice:1;",
        "ClearPhotos;", "ClearMusic;", "ClearVideos;",
        "checkFileisExist:a.jpg;", "checkMusicFileisExist:a.mp3;", "checkVideoFileisExist:a.mp4;",
        "close_photofile;", "close_Musicfile;", "close_videofile;",
        "addphototodevice_abort:" + hex("a.jpg") + ";", "addmusictodevice_abort:" + hex("a.mp3") + ";",
        "addvideotodevice_abort:" + hex("a.mp4") + ";",
        "getExternalStoragePath;", "getfilepathForid:1;", "GetMusicPathById:1;", "GetVideoPathById:1;",
        "getdcimdata:1:0:10;", "exportfilefromdevice_music:1:0:10;", "exportfilefromdevice_video:1:0:10;",
    };

    @Test
    void everyCommandIsKnownAndAnsweredOnceInOrder() throws IOException {
        Path dir = Files.createTempDirectory("agent-table-");
        List<String> log = new ArrayList<>();
        ByteArrayOutputStream script = new ByteArrayOutputStream();
        for (String c : COMMANDS)
            script.write(c.getBytes(StandardCharsets.US_ASCII));
        // Streamed files: open, write with its bytes, close, add.
        for (String[] kind : new String[][] {{"photofile", "photo", "a.jpg"}, {"Musicfile", "music", "a.mp3"},
                {"videofile", "video", "a.mp4"}}) {
            String open = "open_" + kind[0] + ":" + hex(kind[2]) + ";";
            String write = "write_" + kind[1] + "file:3;";
            String close = "close_" + (kind[1].equals("music") ? "Musicfile" : kind[0]) + ";";
            String add = "add" + kind[1] + "todevice:" + hex(kind[2]) + ";";
            script.write((open + write + "xyz" + close + add).getBytes(StandardCharsets.US_ASCII));
        }
        int expected = COMMANDS.length + 3 * 4;
        ByteArrayOutputStream replies = new ByteArrayOutputStream();
        try (LabAgentMain.LabStoreHandle store = new LabAgentMain.LabStoreHandle(dir.toString(), 29, -1)) {
            AgentServer server = new AgentServer(store.phone, log::add);
            server.serve(new CommandReader(new ByteArrayInputStream(script.toByteArray())), replies);
        }
        for (String line : log)
            assertTrue(!line.startsWith("unknown command"), line);
        byte[] r = replies.toByteArray();
        int at = 0, count = 0;
        List<Integer> lengths = new ArrayList<>();
        while (at < r.length) {
            int n = (r[at] & 0xFF) | (r[at + 1] & 0xFF) << 8 | (r[at + 2] & 0xFF) << 16 | (r[at + 3] & 0xFF) << 24;
            lengths.add(n);
            at += 4 + n;
            count++;
        }
        assertEquals(r.length, at, "the replies end exactly");
        assertEquals(expected, count, "one reply per command");
        assertEquals(5, lengths.get(0), "HI-PC first");
        // The three streamed files are on the phone afterwards.
        assertTrue(Files.isRegularFile(dir.resolve("sdcard/Images/a.jpg")));
        assertTrue(Files.isRegularFile(dir.resolve("sdcard/Music/a.mp3")));
        assertTrue(Files.isRegularFile(dir.resolve("sdcard/Videos/a.mp4")));
        assertEquals("xyz", Files.readString(dir.resolve("sdcard/Videos/a.mp4")));
    }
}
