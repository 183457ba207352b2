package com.quellfin.kestrova.agent;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;

import com.quellfin.kestrova.core.CommandReader;
import com.quellfin.kestrova.core.Hex;
import com.quellfin.kestrova.core.RecordWriter;
import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import org.junit.jupiter.api.Test;

/** Value encoding, the record grammar and command framing, on canned bytes. */
class WireTest {
    @Test
    void hexIsUpperCaseWholeAndRefusesWhatIsNotHex() {
        String text = "Grüße, Ωμέγα, 東京, 🙂";
        String hex = Hex.encode(text);
        assertEquals(hex.toUpperCase(), hex);
        assertEquals(text, Hex.decodeText(hex));
        assertEquals(text, Hex.decodeText(hex.toLowerCase()), "lower case comes in from other tools");
        assertNull(Hex.decode("ABC"), "odd length");
        assertNull(Hex.decode("4G"), "not a digit");
        assertNull(Hex.decode("4-"), "a separator is no digit");
        assertArrayEquals(new byte[0], Hex.decode(""));
        byte[] all = new byte[256];
        for (int i = 0; i < 256; i++)
            all[i] = (byte) i;
        assertArrayEquals(all, Hex.decode(Hex.encode(all)));
    }

    @Test
    void recordsLeaveOutEmptyValuesAndCloseWithADot() {
        byte[] reply = new RecordWriter().item("ID", 7).item("BODY", "").item("ADDRESS", null)
                .item("NAME", "Ä").endRecord().endRecord().bytes();
        assertEquals("ID:37;NAME:C384;..", new String(reply, StandardCharsets.US_ASCII));
    }

    /** Hands out at most one byte per read, as a slow network does. */
    private static InputStream trickle(byte[] bytes) {
        return new ByteArrayInputStream(bytes) {
            @Override
            public synchronized int read(byte[] b, int off, int len) {
                return super.read(b, off, Math.min(len, 1));
            }
        };
    }

    @Test
    void commandsAndPayloadsSurviveAnySplitting() throws IOException {
        byte[] payload = new byte[3000];
        for (int i = 0; i < payload.length; i++)
            payload[i] = (byte) (i * 7);
        byte[] head = "hello-android;write_photofile:3000;".getBytes(StandardCharsets.US_ASCII);
        byte[] tail = "close_photofile;getsmsCount".getBytes(StandardCharsets.US_ASCII);
        byte[] all = new byte[head.length + payload.length + tail.length];
        System.arraycopy(head, 0, all, 0, head.length);
        System.arraycopy(payload, 0, all, head.length, payload.length);
        System.arraycopy(tail, 0, all, head.length + payload.length, tail.length);
        CommandReader r = new CommandReader(trickle(all));
        assertEquals("hello-android", r.readCommand());
        assertEquals("write_photofile:3000", r.readCommand());
        assertArrayEquals(payload, r.readExact(3000));
        assertEquals("close_photofile", r.readCommand());
        assertNull(r.readCommand(), "a command without ';' at the end of the connection is dropped");
    }

    @Test
    void aCommandPastTheLimitBreaksTheFraming() {
        byte[] longer = new byte[101];
        java.util.Arrays.fill(longer, (byte) 'A');
        CommandReader r = new CommandReader(new ByteArrayInputStream(longer), 100);
        assertThrows(CommandReader.TooLongException.class, r::readCommand);
        CommandReader exact = new CommandReader(new ByteArrayInputStream((new String(longer, 0, 100, StandardCharsets.US_ASCII) + ";")
                .getBytes(StandardCharsets.US_ASCII)), 100);
        assertThrows(IOException.class, () -> {
            assertEquals(100, exact.readCommand().length());
            exact.readExact(1);
        }, "the limit itself is accepted; a payload past the end is an error");
    }
}
