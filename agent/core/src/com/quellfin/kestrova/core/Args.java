package com.quellfin.kestrova.core;

import java.util.ArrayList;
import java.util.List;

/** Splitting and number parsing of command arguments. */
public final class Args {
    private Args() {}

    /** Splits on every separator: "a--b" gives a, "", b. */
    public static List<String> split(String text, char separator) {
        List<String> parts = new ArrayList<>();
        int start = 0;
        for (;;) {
            int at = text.indexOf(separator, start);
            if (at < 0) {
                parts.add(text.substring(start));
                return parts;
            }
            parts.add(text.substring(start, at));
            start = at + 1;
        }
    }

    /** A whole decimal number with an optional leading "-", else null. */
    public static Long integer(String text) {
        int at = text.startsWith("-") ? 1 : 0;
        if (text.length() == at || text.length() - at > 18)
            return null;
        for (int i = at; i < text.length(); i++)
            if (text.charAt(i) < '0' || text.charAt(i) > '9')
                return null;
        return Long.parseLong(text);
    }

    /** Every "-"-separated value hex-decoded to text; null when one is malformed or too few. */
    public static List<String> hexFields(String args, int minimum) {
        List<String> out = new ArrayList<>();
        for (String part : split(args, '-')) {
            String value = Hex.decodeText(part);
            if (value == null)
                return null;
            out.add(value);
        }
        return out.size() < minimum ? null : out;
    }
}
