package com.quellfin.kestrova.core;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;

/**
 * Builds a listing reply: items KEY ":" HEX ";" and a "." after each record.
 * The grammar has no empty value (the desktop's reader never looks at the
 * character after ":"), so an empty or absent value is left out.
 */
public final class RecordWriter {
    private static final byte[] DIGITS = "0123456789ABCDEF".getBytes(StandardCharsets.US_ASCII);
    private final ByteArrayOutputStream out = new ByteArrayOutputStream(1024);

    public RecordWriter item(String key, String value) {
        if (value == null || value.isEmpty())
            return this;
        byte[] bytes = value.getBytes(StandardCharsets.UTF_8);
        byte[] k = key.getBytes(StandardCharsets.US_ASCII);
        out.write(k, 0, k.length);
        out.write(':');
        for (byte b : bytes) {
            out.write(DIGITS[(b >> 4) & 15]);
            out.write(DIGITS[b & 15]);
        }
        out.write(';');
        return this;
    }

    public RecordWriter item(String key, long value) {
        return item(key, Long.toString(value));
    }

    public RecordWriter endRecord() {
        out.write('.');
        return this;
    }

    public byte[] bytes() {
        return out.toByteArray();
    }
}
