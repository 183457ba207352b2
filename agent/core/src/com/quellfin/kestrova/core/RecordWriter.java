package com.quellfin.kestrova.core;

import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * Builds a listing reply: items KEY ":" HEX ";" and a "." after each record.
 * The grammar has no empty value (the desktop's reader never looks at the
 * character after ":"), so an empty or absent value is left out.
 */
public final class RecordWriter {
    private static final byte[] DIGITS = "0123456789ABCDEF".getBytes(StandardCharsets.US_ASCII);
    private byte[] out = new byte[1024];
    private int length;

    private void room(int more) {
        if (length + more > out.length)
            out = Arrays.copyOf(out, Math.max(out.length * 2, length + more));
    }

    public RecordWriter item(String key, String value) {
        if (value == null || value.isEmpty())
            return this;
        byte[] bytes = value.getBytes(StandardCharsets.UTF_8);
        room(key.length() + 2 + 2 * bytes.length);
        for (int i = 0; i < key.length(); i++)
            out[length++] = (byte) key.charAt(i);
        out[length++] = ':';
        for (byte b : bytes) {
            out[length++] = DIGITS[(b >> 4) & 15];
            out[length++] = DIGITS[b & 15];
        }
        out[length++] = ';';
        return this;
    }

    public RecordWriter item(String key, long value) {
        return item(key, Long.toString(value));
    }

    public RecordWriter endRecord() {
        room(1);
        out[length++] = '.';
        return this;
    }

    public int length() {
        return length;
    }

    /** Drops everything after the first `length` bytes. */
    public RecordWriter cut(int length) {
        this.length = Math.min(this.length, length);
        return this;
    }

    public byte[] bytes() {
        return Arrays.copyOf(out, length);
    }
}
