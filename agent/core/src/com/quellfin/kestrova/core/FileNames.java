package com.quellfin.kestrova.core;

/** File names the agent accepts from the desktop, and the numbering of clashing ones. */
public final class FileNames {
    private FileNames() {}

    /** Not empty, no "/" or NUL, not "." or "..", at most 255 bytes. */
    public static boolean isPlain(String name) {
        return name != null && !name.isEmpty() && name.getBytes(java.nio.charset.StandardCharsets.UTF_8).length <= 255
                && !name.equals(".") && !name.equals("..") && name.indexOf('/') < 0 && name.indexOf('\0') < 0;
    }

    /** "IMG.jpg" becomes "IMG(1).jpg", "IMG(2).jpg", ...; a name without extension gets the number at its end. */
    public static String numbered(String name, int n) {
        String suffix = "(" + n + ")";
        int dot = name.lastIndexOf('.');
        if (dot <= 0)
            return name + suffix;
        return name.substring(0, dot) + suffix + name.substring(dot);
    }
}
