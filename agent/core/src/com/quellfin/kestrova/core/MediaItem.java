package com.quellfin.kestrova.core;

/** One photo, song or video as the phone's media library knows it. */
public final class MediaItem {
    public long id;
    public MediaKind kind;
    /** Absolute path on the phone, e.g. /storage/emulated/0/DCIM/a.jpg. */
    public String path = "";
    public String title = "", displayName = "", album = "", artist = "";
    public long size, modified, created, duration, albumId;
}
