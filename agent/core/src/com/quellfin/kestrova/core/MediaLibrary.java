package com.quellfin.kestrova.core;

import java.io.IOException;

/** The phone's photos, music and videos, and its external storage. */
public interface MediaLibrary {
    /** Brings the library's view of one kind in line with the files; returns the count. */
    int rescan(MediaKind kind) throws IOException;

    int count(MediaKind kind) throws IOException;

    /** The item at a position (stable order), or null. */
    MediaItem at(MediaKind kind, int position) throws IOException;

    MediaItem byId(MediaKind kind, long id) throws IOException;

    /** True when the kind's incoming folder already holds a file of this name. */
    boolean nameTaken(MediaKind kind, String name) throws IOException;

    /** Starts a file named name in the kind's incoming folder. */
    Upload open(MediaKind kind, String name) throws IOException;

    /**
     * Enters a file that was pushed into the kind's incoming folder by other
     * means (adb push) into the media library: 1 done, -1 no such file.
     */
    int enterPushed(MediaKind kind, String name) throws IOException;

    /** Up to count bytes of the item's file from offset; empty past the end or for an unknown id. */
    byte[] read(MediaKind kind, long id, long offset, int count) throws IOException;

    /** Deletes the item and its file: true done, false no such item. */
    boolean delete(MediaKind kind, long id) throws IOException;

    boolean clear(MediaKind kind) throws IOException;

    /** A small picture of the item, or an empty array. */
    byte[] thumbnail(MediaKind kind, long id) throws IOException;

    /** The path the phone reports as its external storage. */
    String externalStorage();
}
