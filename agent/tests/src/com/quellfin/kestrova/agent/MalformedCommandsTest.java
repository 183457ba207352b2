package com.quellfin.kestrova.agent;

import static com.quellfin.kestrova.agent.TestPhone.hex;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import org.junit.jupiter.api.Test;

/**
 * A malformed command gets the error reply (-1 for commands with an int
 * reply, an empty listing for listings), stores nothing, and the connection
 * goes on; only a payload that cannot be delimited ends it.
 */
class MalformedCommandsTest {
    @Test
    void errorsAreAnsweredAndTheConnectionStays() throws IOException {
        try (TestPhone phone = new TestPhone(17, 0)) {
            assertEquals(-1, phone.integer("no-such-command;"));
            assertEquals(-1, phone.integer(";"), "an empty command");
            assertEquals(-1, phone.integer("SendSMS:ABC-" + hex("x") + ";"), "odd hex");
            assertEquals(-1, phone.integer("SendSMS:" + hex("1") + "-" + hex("2") + ";"), "too few fields");
            assertEquals(-1, phone.integer("AddCallHistory:ZZ-00-00-00;"), "not hex");
            assertEquals(-1, phone.integer("AddCalender:" + hex("t") + ";"));
            assertEquals(-1L, phone.integer64("AddPerson:" + hex("a") + ":" + hex("b") + ":" + hex("c") + ";"));
            assertEquals(-1L, phone.integer64("AddPerson3:" + hex("only a name") + ";"));
            assertEquals(-1, phone.integer("UpdatePerson:abc:" + hex("x") + ":NOTE;"));
            assertEquals(0, phone.send("getsmsPart10:x;").length);
            assertEquals(0, phone.send("getsmsPart10:-5;").length);
            assertEquals(0, phone.send("getcontactpart10:;").length);
            assertEquals(0, phone.send("getdcimindexinfo:1e3;").length);
            assertEquals(0, phone.send("getdcimdata:1:0;").length, "two numbers where three belong");
            assertEquals(-1, phone.integer("checkFileisExist:../x.jpg;"), "not a plain name");
            assertEquals(-1, phone.integer("open_photofile:" + hex("a/b.jpg") + ";"));
            assertEquals(-1, phone.integer("write_photofile:0;"), "nothing open");
            assertEquals(-1, phone.integer("close_photofile;"));
            assertEquals(0, phone.integer("addphototodevice_abort:" + hex("a.jpg") + ";"), "nothing to abort");
            for (String count : new String[] {"getsmsCount;", "getcontactCount;", "getcalllogcount;",
                    "getcalendarcount;"})
                assertEquals(0, phone.integer(count), "nothing was stored: " + count);
            assertEquals("HI-PC", phone.text("hello-android;"));
        }
    }

    @Test
    void aWriteWithoutAUsableByteCountEndsTheConnection() throws IOException {
        try (TestPhone phone = new TestPhone()) {
            assertEquals(0, phone.integer("open_photofile:" + hex("a.jpg") + ";"));
            phone.rawOutput().write("write_photofile:12x;".getBytes(StandardCharsets.US_ASCII));
            phone.rawOutput().flush();
            assertTrue(phone.closedByAgent());
            phone.connect();
            assertEquals("HI-PC", phone.text("hello-android;"), "a new connection is served");
            assertEquals(0, phone.integer("checkFileisExist:a.jpg;"), "the broken upload left nothing behind");
            try (java.util.stream.Stream<java.nio.file.Path> files = java.nio.file.Files.list(phone.sdcard().resolve("Images"))) {
                assertEquals(0, files.count(), "not even a hidden partial file");
            }
        }
    }
}
