package com.quellfin.kestrova.core;

import java.nio.charset.StandardCharsets;

/** Reply bodies: little-endian integers and plain text. */
public final class Replies {
    private Replies() {}

    public static byte[] int32(int value) {
        return new byte[] {(byte) value, (byte) (value >> 8), (byte) (value >> 16), (byte) (value >> 24)};
    }

    public static byte[] int64(long value) {
        byte[] out = new byte[8];
        for (int i = 0; i < 8; i++)
            out[i] = (byte) (value >> (8 * i));
        return out;
    }

    public static byte[] text(String text) {
        return text.getBytes(StandardCharsets.UTF_8);
    }

    public static final byte[] EMPTY = new byte[0];
}
