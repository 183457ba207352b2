package com.quellfin.kestrova.core;

/** The three media kinds and the folder below external storage where incoming files land. */
public enum MediaKind {
    PHOTO("Images"),
    MUSIC("Music"),
    VIDEO("Videos");

    public final String incomingFolder;

    MediaKind(String incomingFolder) {
        this.incomingFolder = incomingFolder;
    }
}
