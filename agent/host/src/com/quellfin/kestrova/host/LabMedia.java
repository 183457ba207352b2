package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.FileNames;
import com.quellfin.kestrova.core.MediaItem;
import com.quellfin.kestrova.core.MediaKind;
import com.quellfin.kestrova.core.MediaLibrary;
import com.quellfin.kestrova.core.StreamUpload;
import com.quellfin.kestrova.core.Upload;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileVisitResult;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.SimpleFileVisitor;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.util.ArrayList;
import java.util.EnumSet;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * The virtual phone's media: files below DIR/sdcard (the phone's
 * /storage/emulated/0) and the store's media table, which gives each file a
 * stable id, as the phone's media library does.
 */
final class LabMedia implements MediaLibrary {
    static final String EXTERNAL_STORAGE = "/storage/emulated/0";
    private static final String SELECT =
            "SELECT id, kind, path, size, mtime, ctime, title, album, artist, album_id, duration FROM media ";
    private static final Map<String, MediaKind> KINDS = new HashMap<>();

    static {
        // A phone's media library takes HEIF and raw (DNG) pictures as images too.
        for (String e : new String[] {"jpg", "jpeg", "png", "gif", "bmp", "webp", "heic", "heif", "dng"})
            KINDS.put(e, MediaKind.PHOTO);
        for (String e : new String[] {"mp3", "m4a", "aac", "ogg", "flac", "wav", "amr"})
            KINDS.put(e, MediaKind.MUSIC);
        for (String e : new String[] {"mp4", "3gp", "mkv", "mov", "avi", "webm", "m4v"})
            KINDS.put(e, MediaKind.VIDEO);
    }

    private final LabStore store;
    private final Path sdcard;
    private final EnumSet<MediaKind> scanned = EnumSet.noneOf(MediaKind.class);

    LabMedia(LabStore store, String phoneDir) {
        this.store = store;
        this.sdcard = Path.of(phoneDir, "sdcard");
    }

    static MediaKind kindOfName(String name) {
        int dot = name.lastIndexOf('.');
        if (dot <= 0)
            return null;
        return KINDS.get(name.substring(dot + 1).toLowerCase(Locale.ROOT));
    }

    private static int code(MediaKind kind) {
        return kind.ordinal() + 1;
    }

    /** What the phone's scanner would say about a file: title, album and artist from the folders. */
    private static MediaItem describe(String relative, MediaKind kind, BasicFileAttributes st) {
        MediaItem item = new MediaItem();
        item.kind = kind;
        item.path = relative;
        item.size = st.size();
        item.modified = item.created = st.lastModifiedTime().toMillis() / 1000;
        Path p = Path.of(relative);
        String file = p.getFileName().toString();
        int dot = file.lastIndexOf('.');
        item.title = dot <= 0 ? file : file.substring(0, dot);
        if (kind == MediaKind.MUSIC) {
            // Music/Artist/Album/track.mp3 names its artist and album.
            Path album = p.getParent();
            Path artist = album == null ? null : album.getParent();
            boolean tagged = artist != null && artist.getParent() != null;
            item.album = tagged ? album.getFileName().toString() : "<unknown>";
            item.artist = tagged ? artist.getFileName().toString() : "<unknown>";
            item.albumId = albumIdOf(item.album);
            item.duration = item.size / 16; // about 128 kbit/s, in ms
        } else if (kind == MediaKind.VIDEO) {
            item.duration = item.size / 250; // about 2 Mbit/s, in ms
        }
        return item;
    }

    private static long albumIdOf(String album) {
        int h = 0x811C9DC5;
        for (byte b : album.getBytes(StandardCharsets.UTF_8))
            h = (h ^ (b & 0xFF)) * 16777619;
        return (h & 0x7FFFFFF) + 1;
    }

    private MediaItem published(MediaItem stored) {
        MediaItem item = stored;
        item.displayName = Path.of(stored.path).getFileName().toString();
        item.path = EXTERNAL_STORAGE + "/" + stored.path;
        return item;
    }

    private static MediaItem readItem(ResultSet r) throws SQLException {
        MediaItem m = new MediaItem();
        m.id = r.getLong(1);
        m.kind = MediaKind.values()[r.getInt(2) - 1];
        m.path = text(r.getString(3));
        m.size = r.getLong(4);
        m.modified = r.getLong(5);
        m.created = r.getLong(6);
        m.title = text(r.getString(7));
        m.album = text(r.getString(8));
        m.artist = text(r.getString(9));
        m.albumId = r.getLong(10);
        m.duration = r.getLong(11);
        return m;
    }

    private static String text(String s) {
        return s == null ? "" : s;
    }

    private void upsert(MediaItem m) throws SQLException {
        try (PreparedStatement s = store.connection().prepareStatement(
                "INSERT INTO media(kind, path, size, mtime, ctime, title, album, artist, album_id, duration)"
                + " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) ON CONFLICT(path) DO UPDATE SET kind = ?1,"
                + " size = ?3, mtime = ?4, title = ?6, album = ?7, artist = ?8, album_id = ?9, duration = ?10")) {
            s.setInt(1, code(m.kind));
            s.setString(2, m.path);
            s.setLong(3, m.size);
            s.setLong(4, m.modified);
            s.setLong(5, m.created);
            s.setString(6, m.title);
            s.setString(7, m.album);
            s.setString(8, m.artist);
            s.setLong(9, m.albumId);
            s.setLong(10, m.duration);
            s.executeUpdate();
        }
    }

    @Override
    public int rescan(MediaKind kind) throws IOException {
        synchronized (store) {
            scanned.add(kind);
            Map<String, MediaItem> onDisk = new HashMap<>();
            if (Files.isDirectory(sdcard)) {
                Files.walkFileTree(sdcard, new SimpleFileVisitor<>() {
                    @Override
                    public FileVisitResult preVisitDirectory(Path dir, BasicFileAttributes attrs) {
                        return !dir.equals(sdcard) && dir.getFileName().toString().startsWith(".")
                                ? FileVisitResult.SKIP_SUBTREE : FileVisitResult.CONTINUE;
                    }

                    @Override
                    public FileVisitResult visitFile(Path file, BasicFileAttributes attrs) {
                        String name = file.getFileName().toString();
                        if (attrs.isRegularFile() && !name.startsWith(".") && kindOfName(name) == kind) {
                            String rel = sdcard.relativize(file).toString();
                            onDisk.put(rel, describe(rel, kind, attrs));
                        }
                        return FileVisitResult.CONTINUE;
                    }

                    @Override
                    public FileVisitResult visitFileFailed(Path file, IOException e) {
                        return FileVisitResult.CONTINUE;
                    }
                });
            }
            try {
                boolean auto = store.connection().getAutoCommit();
                store.connection().setAutoCommit(false);
                try {
                    List<Long> gone = new ArrayList<>();
                    try (PreparedStatement s = store.connection().prepareStatement(SELECT + "WHERE kind = ?")) {
                        s.setInt(1, code(kind));
                        try (ResultSet r = s.executeQuery()) {
                            while (r.next()) {
                                MediaItem known = readItem(r);
                                MediaItem found = onDisk.get(known.path);
                                if (found == null)
                                    gone.add(known.id);
                                else if (found.size == known.size && found.modified == known.modified)
                                    onDisk.remove(known.path);
                            }
                        }
                    }
                    for (long id : gone)
                        deleteRow(id);
                    for (MediaItem item : onDisk.values())
                        upsert(item);
                    store.connection().commit();
                } catch (SQLException e) {
                    store.connection().rollback();
                    throw e;
                } finally {
                    store.connection().setAutoCommit(auto);
                }
                return countRows(kind);
            } catch (SQLException e) {
                throw LabStore.failed("media scan", e);
            }
        }
    }

    private void ensureScanned(MediaKind kind) throws IOException {
        if (!scanned.contains(kind))
            rescan(kind);
    }

    private int countRows(MediaKind kind) throws SQLException {
        try (PreparedStatement s = store.connection().prepareStatement("SELECT COUNT(*) FROM media WHERE kind = ?")) {
            s.setInt(1, code(kind));
            try (ResultSet r = s.executeQuery()) {
                return r.next() ? r.getInt(1) : 0;
            }
        }
    }

    private void deleteRow(long id) throws SQLException {
        try (PreparedStatement del = store.connection().prepareStatement("DELETE FROM media WHERE id = ?")) {
            del.setLong(1, id);
            del.executeUpdate();
        }
    }

    @Override
    public int count(MediaKind kind) throws IOException {
        synchronized (store) {
            ensureScanned(kind);
            try {
                return countRows(kind);
            } catch (SQLException e) {
                throw LabStore.failed("media count", e);
            }
        }
    }

    @Override
    public MediaItem at(MediaKind kind, int position) throws IOException {
        synchronized (store) {
            ensureScanned(kind);
            try (PreparedStatement s = store.connection().prepareStatement(
                    SELECT + "WHERE kind = ? ORDER BY id LIMIT 1 OFFSET ?")) {
                s.setInt(1, code(kind));
                s.setInt(2, position);
                try (ResultSet r = s.executeQuery()) {
                    return position >= 0 && r.next() ? published(readItem(r)) : null;
                }
            } catch (SQLException e) {
                throw LabStore.failed("media item", e);
            }
        }
    }

    /** The stored item (path relative to sdcard), or null. */
    private MediaItem stored(MediaKind kind, long id) throws IOException {
        ensureScanned(kind);
        try (PreparedStatement s = store.connection().prepareStatement(SELECT + "WHERE id = ? AND kind = ?")) {
            s.setLong(1, id);
            s.setInt(2, code(kind));
            try (ResultSet r = s.executeQuery()) {
                return r.next() ? readItem(r) : null;
            }
        } catch (SQLException e) {
            throw LabStore.failed("media item", e);
        }
    }

    @Override
    public MediaItem byId(MediaKind kind, long id) throws IOException {
        synchronized (store) {
            MediaItem item = stored(kind, id);
            return item == null ? null : published(item);
        }
    }

    @Override
    public boolean nameTaken(MediaKind kind, String name) {
        return Files.exists(sdcard.resolve(kind.incomingFolder).resolve(name), LinkOption.NOFOLLOW_LINKS);
    }

    /** Indexes (or refreshes) one file below sdcard: 1 done, -1 failed. */
    private int enter(String relative) throws IOException {
        Path full = sdcard.resolve(relative);
        if (!Files.isRegularFile(full, LinkOption.NOFOLLOW_LINKS))
            return -1;
        MediaKind kind = kindOfName(full.getFileName().toString());
        // A file of no media type stays on the phone without joining the library.
        if (kind == null)
            return 1;
        synchronized (store) {
            try {
                upsert(describe(relative, kind,
                        Files.readAttributes(full, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS)));
                return 1;
            } catch (SQLException e) {
                throw LabStore.failed("media entry", e);
            }
        }
    }

    @Override
    public int enterPushed(MediaKind kind, String name) throws IOException {
        return enter(kind.incomingFolder + "/" + name);
    }

    @Override
    public Upload open(MediaKind kind, String name) throws IOException {
        Path folder = sdcard.resolve(kind.incomingFolder);
        Files.createDirectories(folder);
        // The bytes land in a hidden file that becomes the real one only when
        // the copy is added.
        Path temp = Files.createTempFile(folder, ".partial-", "");
        OutputStream out = Files.newOutputStream(temp, StandardOpenOption.WRITE);
        return new StreamUpload() {
            {
                writeTo(out);
            }

            @Override
            public int commit() throws IOException {
                close();
                // Never replace a file already on the phone: take the first free name.
                for (int n = 0; n < 100000; n++) {
                    String candidate = n == 0 ? name : FileNames.numbered(name, n);
                    try {
                        Files.createLink(folder.resolve(candidate), temp);
                    } catch (FileAlreadyExistsException e) {
                        continue;
                    }
                    Files.deleteIfExists(temp);
                    return enter(kind.incomingFolder + "/" + candidate);
                }
                return -1;
            }

            @Override
            public void discard() {
                try {
                    close();
                } catch (IOException ignored) {
                    // the file goes anyway
                }
                try {
                    Files.deleteIfExists(temp);
                } catch (IOException ignored) {
                    // nothing more to do
                }
            }
        };
    }

    @Override
    public byte[] read(MediaKind kind, long id, long offset, int count) throws IOException {
        MediaItem item;
        synchronized (store) {
            item = stored(kind, id);
        }
        if (item == null)
            return new byte[0];
        try (FileChannel ch = FileChannel.open(sdcard.resolve(item.path), StandardOpenOption.READ)) {
            long size = ch.size();
            if (offset >= size)
                return new byte[0];
            // Never allocate more than the file still holds.
            ByteBuffer buf = ByteBuffer.allocate((int) Math.min(count, size - offset));
            while (buf.hasRemaining() && ch.read(buf, offset + buf.position()) > 0) {
                // keep reading until the chunk is full or the file ends
            }
            byte[] out = new byte[buf.position()];
            buf.flip();
            buf.get(out);
            return out;
        } catch (java.nio.file.NoSuchFileException e) {
            return new byte[0];
        }
    }

    @Override
    public boolean delete(MediaKind kind, long id) throws IOException {
        synchronized (store) {
            MediaItem item = stored(kind, id);
            if (item == null)
                return false;
            Files.deleteIfExists(sdcard.resolve(item.path));
            try {
                deleteRow(id);
                return true;
            } catch (SQLException e) {
                throw LabStore.failed("media delete", e);
            }
        }
    }

    @Override
    public boolean clear(MediaKind kind) throws IOException {
        synchronized (store) {
            ensureScanned(kind);
            List<Long> ids = new ArrayList<>();
            try (PreparedStatement s = store.connection().prepareStatement("SELECT id FROM media WHERE kind = ?")) {
                s.setInt(1, code(kind));
                try (ResultSet r = s.executeQuery()) {
                    while (r.next())
                        ids.add(r.getLong(1));
                }
            } catch (SQLException e) {
                throw LabStore.failed("media clear", e);
            }
            boolean ok = true;
            for (long id : ids)
                ok = delete(kind, id) && ok;
            return ok;
        }
    }

    @Override
    public byte[] thumbnail(MediaKind kind, long id) throws IOException {
        MediaItem item;
        synchronized (store) {
            item = stored(kind, id);
        }
        return item == null ? new byte[0] : LabThumbnail.of(sdcard.resolve(item.path));
    }

    @Override
    public String externalStorage() {
        return EXTERNAL_STORAGE;
    }

    /** Reads a whole stream; used by the thumbnail. */
    static int readUpTo(InputStream in, byte[] buf) throws IOException {
        int got = 0, n;
        while (got < buf.length && (n = in.read(buf, got, buf.length - got)) > 0)
            got += n;
        return got;
    }
}
