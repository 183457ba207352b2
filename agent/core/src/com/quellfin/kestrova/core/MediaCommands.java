package com.quellfin.kestrova.core;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.util.EnumMap;
import java.util.List;
import java.util.Map;

/** Photos, music and videos: listing, reading in chunks, files arriving from the desktop. */
final class MediaCommands {
    /** The command names of one media kind; the three kinds grew different spellings. */
    private static final class Names {
        final MediaKind kind;
        final String flush, count, info, remove, clear, exists, open, write, close, add, abort, path, data;

        Names(MediaKind kind, String... n) {
            this.kind = kind;
            flush = n[0]; count = n[1]; info = n[2]; remove = n[3]; clear = n[4]; exists = n[5];
            open = n[6]; write = n[7]; close = n[8]; add = n[9]; abort = n[10]; path = n[11]; data = n[12];
        }
    }

    private static final Names[] NAMES = {
        new Names(MediaKind.PHOTO, "flushphotolist", "getdcimcount", "getdcimindexinfo", "deletephoto",
                "ClearPhotos", "checkFileisExist", "open_photofile", "write_photofile", "close_photofile",
                "addphototodevice", "addphototodevice_abort", "getfilepathForid", "getdcimdata"),
        new Names(MediaKind.MUSIC, "flushmusiclist", "getmusiccount", "getmusicindexinfo", "deletemusic",
                "ClearMusic", "checkMusicFileisExist", "open_Musicfile", "write_musicfile", "close_Musicfile",
                "addmusictodevice", "addmusictodevice_abort", "GetMusicPathById", "exportfilefromdevice_music"),
        new Names(MediaKind.VIDEO, "flushvideolist", "getvideocount", "getvideoindexinfo",
                "deletevideofromdevice", "ClearVideos", "checkVideoFileisExist", "open_videofile",
                "write_videofile", "close_videofile", "addvideotodevice", "addvideotodevice_abort",
                "GetVideoPathById", "exportfilefromdevice_video"),
    };

    /** A file being written on this connection. */
    private static final class Incoming {
        final String name;
        final Upload upload;
        boolean open = true, failed;

        Incoming(String name, Upload upload) {
            this.name = name;
            this.upload = upload;
        }
    }

    private final MediaLibrary media;
    private final CommandReader reader;
    private final Map<MediaKind, Incoming> incoming = new EnumMap<>(MediaKind.class);

    MediaCommands(MediaLibrary media, CommandReader reader) {
        this.media = media;
        this.reader = reader;
    }

    void register(Map<String, Session.Handler> h) {
        for (Names n : NAMES) {
            MediaKind k = n.kind;
            h.put(n.flush, a -> Replies.int32(media.rescan(k)));
            h.put(n.count, a -> Replies.int32(media.count(k)));
            h.put(n.info, a -> info(k, a));
            h.put(n.remove, a -> {
                Long id = Args.integer(a);
                return Replies.int32(id == null ? -1 : media.delete(k, id) ? 1 : 0);
            });
            h.put(n.clear, a -> Replies.int32(media.clear(k) ? 1 : -1));
            h.put(n.exists, a -> exists(k, a));
            h.put(n.open, a -> open(k, a));
            h.put(n.write, a -> write(k, a));
            h.put(n.close, a -> close(k));
            h.put(n.add, a -> add(k, a));
            h.put(n.abort, a -> abort(k));
            h.put(n.path, a -> {
                MediaItem item = byId(k, a);
                return item == null ? Replies.EMPTY : Replies.text(item.path);
            });
            h.put(n.data, a -> chunk(k, a));
        }
        h.put("getdcimthumb", a -> thumbnail(MediaKind.PHOTO, a));
        // The song's id comes first; the second number (its album) is not needed.
        h.put("getmusicthumb", a -> thumbnail(MediaKind.MUSIC, Args.split(a, ':').get(0)));
        h.put("getExternalStoragePath", a -> Replies.text(media.externalStorage()));
    }

    void discardAll() {
        for (Incoming in : incoming.values())
            in.upload.discard();
        incoming.clear();
    }

    private MediaItem byId(MediaKind kind, String args) throws IOException {
        Long id = Args.integer(args);
        return id == null ? null : media.byId(kind, id);
    }

    private byte[] info(MediaKind kind, String args) throws IOException {
        Long index = Args.integer(args);
        MediaItem item = index == null || index < 0 || index > Integer.MAX_VALUE ? null
                : media.at(kind, (int) (long) index);
        if (item == null)
            return Replies.EMPTY;
        RecordWriter out = new RecordWriter().item("ID", item.id);
        if (kind == MediaKind.MUSIC)
            out.item("ALBUMID", item.albumId);
        out.item("TILTE", item.title);
        if (kind == MediaKind.MUSIC)
            out.item("ALBUM", item.album).item("ARTIST", item.artist);
        if (kind == MediaKind.VIDEO)
            out.item("DISPLAYNAME", item.displayName);
        out.item("PATH", item.path);
        if (kind != MediaKind.PHOTO)
            out.item("DURATION", item.duration);
        out.item("SIZE", item.size).item("MODIFTIME", item.modified).item("CREATETIME", item.created);
        return out.endRecord().bytes();
    }

    private byte[] thumbnail(MediaKind kind, String args) throws IOException {
        Long id = Args.integer(args);
        return id == null ? Replies.EMPTY : media.thumbnail(kind, id);
    }

    private byte[] exists(MediaKind kind, String args) throws IOException {
        // The name comes as it is, not hex-encoded: its bytes are the command's.
        String name = new String(args.getBytes(StandardCharsets.ISO_8859_1), StandardCharsets.UTF_8);
        if (!FileNames.isPlain(name))
            return Replies.int32(-1);
        return Replies.int32(media.nameTaken(kind, name) ? 1 : 0);
    }

    private byte[] open(MediaKind kind, String args) throws IOException {
        String name = Hex.decodeText(args);
        if (!FileNames.isPlain(name))
            return Replies.int32(-1);
        Incoming old = incoming.remove(kind);
        if (old != null)
            old.upload.discard(); // a new open replaces an unfinished one
        incoming.put(kind, new Incoming(name, media.open(kind, name)));
        return Replies.int32(0);
    }

    private byte[] write(MediaKind kind, String args) throws IOException {
        Long count = Args.integer(args);
        if (count == null || count < 0 || count > CommandReader.MAX_PAYLOAD_BYTES)
            throw new Session.BrokenFraming("write without a usable byte count: " + args);
        byte[] bytes;
        try {
            bytes = reader.readExact((int) (long) count);
        } catch (IOException e) {
            throw new Session.BrokenFraming("payload not received: " + e.getMessage());
        }
        Incoming in = incoming.get(kind);
        if (in == null || !in.open || in.failed)
            return Replies.int32(-1);
        try {
            in.upload.write(bytes);
        } catch (IOException e) {
            in.failed = true;
            throw e;
        }
        return Replies.int32(bytes.length);
    }

    private byte[] close(MediaKind kind) throws IOException {
        Incoming in = incoming.get(kind);
        if (in == null || !in.open)
            return Replies.int32(-1);
        in.open = false;
        try {
            in.upload.close();
        } catch (IOException e) {
            in.failed = true;
            throw e;
        }
        return Replies.int32(0);
    }

    private byte[] add(MediaKind kind, String args) throws IOException {
        String name = Hex.decodeText(args);
        if (!FileNames.isPlain(name))
            return Replies.int32(-1);
        Incoming in = incoming.get(kind);
        if (in != null && in.name.equals(name)) {
            incoming.remove(kind);
            try {
                if (in.open)
                    in.upload.close();
                return Replies.int32(in.failed ? -1 : in.upload.commit());
            } finally {
                in.upload.discard();
            }
        }
        // A file pushed with adb into the incoming folder joins the media library.
        return Replies.int32(media.enterPushed(kind, name));
    }

    private byte[] abort(MediaKind kind) {
        Incoming in = incoming.remove(kind);
        if (in == null)
            return Replies.int32(0);
        in.upload.discard();
        return Replies.int32(1);
    }

    private byte[] chunk(MediaKind kind, String args) throws IOException {
        List<String> parts = Args.split(args, ':');
        if (parts.size() != 3)
            return Replies.EMPTY;
        Long id = Args.integer(parts.get(0)), offset = Args.integer(parts.get(1)), count = Args.integer(parts.get(2));
        if (id == null || offset == null || count == null || offset < 0 || count <= 0)
            return Replies.EMPTY;
        int capped = (int) Math.min(count, CommandReader.MAX_PAYLOAD_BYTES);
        return media.read(kind, id, offset, capped);
    }
}
