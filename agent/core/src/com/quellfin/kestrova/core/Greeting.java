package com.quellfin.kestrova.core;

import java.io.IOException;
import java.io.InputStream;
import java.net.Socket;
import java.net.SocketTimeoutException;
import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;

/**
 * The agent's door. The desktop makes a fresh random token each time it
 * starts the agent and hands it over in the start intent (an extra of the
 * "am start" it runs over adb, which no other app sees); it then sends the
 * token as the first bytes of every connection, in the same write as its
 * first command. A connection whose first bytes are not the token, or whose
 * token does not arrive within the deadline, is closed without a word: no
 * command is read before it.
 *
 * The token is the intent extra's text itself, 32 to 128 hexadecimal
 * digits (128 to 512 bits); the desktop sends 64 (256 bits). It lives only
 * in memory and is never logged.
 */
public final class Greeting {
    /** The intent extra that carries the token. */
    public static final String EXTRA_TOKEN = "com.quellfin.kestrova.TOKEN";
    /** 128 bits, as hexadecimal text. */
    public static final int MIN_TOKEN_CHARS = 32;
    public static final int MAX_TOKEN_CHARS = 128;

    private Greeting() {}

    /**
     * The token's bytes as they come on the wire, or null when the text is
     * not a token (missing, too short or too long, not hexadecimal): an
     * agent without a token admits nobody.
     */
    public static byte[] parse(String text) {
        if (text == null || text.length() < MIN_TOKEN_CHARS || text.length() > MAX_TOKEN_CHARS)
            return null;
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            boolean hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
            if (!hex)
                return null;
        }
        return text.getBytes(StandardCharsets.US_ASCII);
    }

    /**
     * Reads exactly as many bytes as the token has, all within deadlineMillis
     * of the call, and compares them in constant time. False for anything
     * else: other bytes, too few before the deadline, the end of the
     * connection. The socket's read time-out is left at 0 afterwards.
     */
    static boolean admit(Socket socket, InputStream in, byte[] token, long deadlineMillis) throws IOException {
        if (token == null)
            return false;
        byte[] got = new byte[token.length];
        long end = System.nanoTime() + deadlineMillis * 1000000L;
        int have = 0;
        try {
            while (have < got.length) {
                long left = (end - System.nanoTime()) / 1000000L;
                if (left <= 0)
                    return false;
                socket.setSoTimeout((int) Math.min(Integer.MAX_VALUE, left));
                int n = in.read(got, have, got.length - have);
                if (n < 0)
                    return false;
                have += n;
            }
        } catch (SocketTimeoutException e) {
            return false;
        }
        socket.setSoTimeout(0);
        return MessageDigest.isEqual(got, token);
    }
}
