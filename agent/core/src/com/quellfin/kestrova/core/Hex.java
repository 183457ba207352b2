package com.quellfin.kestrova.core;

import java.nio.charset.StandardCharsets;

/**
 * Values travel as hexadecimal text, two characters per byte. The desktop
 * reads only upper-case digits, so that is what goes out; what comes in may
 * use either case, but an odd length or any other character is refused
 * rather than decoded into other bytes.
 */
public final class Hex {
    private static final byte[] DIGITS = "0123456789ABCDEF".getBytes(StandardCharsets.US_ASCII);

    private Hex() {}

    public static String encode(byte[] bytes) {
        byte[] out = new byte[bytes.length * 2];
        for (int i = 0; i < bytes.length; i++) {
            out[2 * i] = DIGITS[(bytes[i] >> 4) & 15];
            out[2 * i + 1] = DIGITS[bytes[i] & 15];
        }
        return new String(out, StandardCharsets.US_ASCII);
    }

    public static String encode(String text) {
        return encode(text.getBytes(StandardCharsets.UTF_8));
    }

    /** The bytes, or null when the text is not whole hexadecimal pairs. */
    public static byte[] decode(CharSequence hex) {
        if (hex.length() % 2 != 0)
            return null;
        byte[] out = new byte[hex.length() / 2];
        for (int i = 0; i < out.length; i++) {
            int hi = nibble(hex.charAt(2 * i)), lo = nibble(hex.charAt(2 * i + 1));
            if (hi < 0 || lo < 0)
                return null;
            out[i] = (byte) (hi * 16 + lo);
        }
        return out;
    }

    /** The UTF-8 text the hexadecimal value carries, or null when malformed. */
    public static String decodeText(CharSequence hex) {
        byte[] bytes = decode(hex);
        return bytes == null ? null : new String(bytes, StandardCharsets.UTF_8);
    }

    private static int nibble(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    }
}
