package com.quellfin.kestrova.core;

import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * Reads commands off a connection: text up to ";", and for the write
 * commands the raw bytes that follow. The command text is kept byte for
 * byte (ISO-8859-1 maps each byte to one char) since one command carries a
 * file name that is not hex-encoded.
 */
public final class CommandReader {
    /** Longest command text taken; values are hex, so half of it is data. */
    public static final int MAX_COMMAND_BYTES = 32 << 20;
    /** Largest attached payload of a write command and largest export chunk. */
    public static final int MAX_PAYLOAD_BYTES = 16 << 20;

    /** A command longer than the limit: the framing cannot be trusted after it. */
    public static final class TooLongException extends IOException {
        private static final long serialVersionUID = 1L;

        TooLongException() {
            super("command longer than " + MAX_COMMAND_BYTES + " bytes");
        }
    }

    private final InputStream in;
    private final int maxCommand;
    private byte[] buf = new byte[64 * 1024];
    private int begin, end;

    public CommandReader(InputStream in) {
        this(in, MAX_COMMAND_BYTES);
    }

    public CommandReader(InputStream in, int maxCommand) {
        this.in = in;
        this.maxCommand = maxCommand;
    }

    /** The next command without its ";", or null when the peer closed the connection. */
    public String readCommand() throws IOException {
        int scanned = 0;
        for (;;) {
            for (int i = begin + scanned; i < end; i++) {
                if (buf[i] == ';') {
                    int length = i - begin;
                    if (length > maxCommand)
                        throw new TooLongException();
                    String command = new String(buf, begin, length, StandardCharsets.ISO_8859_1);
                    begin = i + 1;
                    return command;
                }
            }
            scanned = end - begin;
            if (scanned > maxCommand)
                throw new TooLongException();
            if (!fill())
                return null;
        }
    }

    /** Exactly count bytes; EOFException when the connection ends first. */
    public byte[] readExact(int count) throws IOException {
        byte[] out = new byte[count];
        int got = Math.min(count, end - begin);
        System.arraycopy(buf, begin, out, 0, got);
        begin += got;
        while (got < count) {
            int n = in.read(out, got, count - got);
            if (n < 0)
                throw new EOFException("connection ended inside a payload");
            got += n;
        }
        return out;
    }

    private boolean fill() throws IOException {
        if (begin == end)
            begin = end = 0;
        if (end == buf.length) {
            if (begin > 0) {
                System.arraycopy(buf, begin, buf, 0, end - begin);
                end -= begin;
                begin = 0;
            } else {
                buf = Arrays.copyOf(buf, buf.length * 2);
            }
        }
        int n = in.read(buf, end, buf.length - end);
        if (n < 0)
            return false;
        end += n;
        return true;
    }
}
