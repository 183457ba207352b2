package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.content.ContentUris;
import android.content.ContentValues;
import android.content.Context;
import android.database.Cursor;
import android.graphics.Bitmap;
import android.media.MediaScannerConnection;
import android.net.Uri;
import android.os.Build;
import android.os.Environment;
import android.os.ParcelFileDescriptor;
import android.provider.MediaStore;
import android.provider.MediaStore.MediaColumns;
import android.util.Size;
import android.webkit.MimeTypeMap;
import com.quellfin.kestrova.core.FileNames;
import com.quellfin.kestrova.core.MediaItem;
import com.quellfin.kestrova.core.MediaKind;
import com.quellfin.kestrova.core.MediaLibrary;
import com.quellfin.kestrova.core.StreamUpload;
import com.quellfin.kestrova.core.Upload;
import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileInputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.util.ArrayList;
import java.util.EnumMap;
import java.util.List;
import java.util.Locale;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * Photos, music and videos through the media store. Files the desktop
 * pushed with adb are handed to the media scanner; files streamed in are
 * written as the platform allows: from Android 10 as pending media-store
 * entries in the standard folders (the store refuses others), before that as
 * files in the incoming folder that are scanned once complete.
 */
final class ProviderMedia implements MediaLibrary {
    private final Context context;
    private final ContentResolver resolver;
    private final EnumMap<MediaKind, long[]> ids = new EnumMap<>(MediaKind.class);

    ProviderMedia(Context context) {
        this.context = context;
        this.resolver = context.getContentResolver();
    }

    private static boolean scopedStorage() {
        return Build.VERSION.SDK_INT >= Build.VERSION_CODES.Q;
    }

    static Uri collection(MediaKind kind) {
        switch (kind) {
            case PHOTO: return MediaStore.Images.Media.EXTERNAL_CONTENT_URI;
            case MUSIC: return MediaStore.Audio.Media.EXTERNAL_CONTENT_URI;
            default: return MediaStore.Video.Media.EXTERNAL_CONTENT_URI;
        }
    }

    /** Where streamed files land from Android 10: the standard folder the media store allows. */
    private static String standardFolder(MediaKind kind) {
        switch (kind) {
            case PHOTO: return Environment.DIRECTORY_PICTURES;
            case MUSIC: return Environment.DIRECTORY_MUSIC;
            default: return Environment.DIRECTORY_MOVIES;
        }
    }

    private File root() {
        return Environment.getExternalStorageDirectory();
    }

    private synchronized long[] ids(MediaKind kind, boolean fresh) throws IOException {
        long[] list = ids.get(kind);
        if (list == null || fresh) {
            list = Rows.ids(resolver, collection(kind), null, null);
            ids.put(kind, list);
        }
        return list;
    }

    private synchronized void touched(MediaKind kind) {
        ids.remove(kind);
    }

    @Override
    public int rescan(MediaKind kind) throws IOException {
        return ids(kind, true).length;
    }

    @Override
    public int count(MediaKind kind) throws IOException {
        return ids(kind, true).length;
    }

    @Override
    public MediaItem at(MediaKind kind, int position) throws IOException {
        long[] list = ids(kind, false);
        return position < 0 || position >= list.length ? null : byId(kind, list[position]);
    }

    private static String[] projection(MediaKind kind) {
        List<String> p = new ArrayList<>();
        for (String c : new String[] {MediaColumns._ID, MediaColumns.DATA, MediaColumns.TITLE,
                MediaColumns.DISPLAY_NAME, MediaColumns.SIZE, MediaColumns.DATE_MODIFIED, MediaColumns.DATE_ADDED})
            p.add(c);
        if (kind != MediaKind.PHOTO)
            p.add(MediaColumns.DURATION);
        if (kind == MediaKind.MUSIC) {
            p.add(MediaStore.Audio.Media.ALBUM);
            p.add(MediaStore.Audio.Media.ALBUM_ID);
            p.add(MediaStore.Audio.Media.ARTIST);
        }
        return p.toArray(new String[0]);
    }

    @Override
    public MediaItem byId(MediaKind kind, long id) throws IOException {
        Cursor c = Rows.query(resolver, collection(kind), projection(kind), MediaColumns._ID + " = ?",
                new String[] {Long.toString(id)}, null);
        try {
            if (!c.moveToFirst())
                return null;
            MediaItem m = new MediaItem();
            m.id = id;
            m.kind = kind;
            m.path = Rows.text(c, MediaColumns.DATA);
            m.displayName = Rows.text(c, MediaColumns.DISPLAY_NAME);
            m.title = Rows.text(c, MediaColumns.TITLE);
            m.size = Rows.number(c, MediaColumns.SIZE);
            m.modified = Rows.number(c, MediaColumns.DATE_MODIFIED);
            m.created = Rows.number(c, MediaColumns.DATE_ADDED);
            if (kind != MediaKind.PHOTO)
                m.duration = Rows.number(c, MediaColumns.DURATION);
            if (kind == MediaKind.MUSIC) {
                m.album = Rows.text(c, MediaStore.Audio.Media.ALBUM);
                m.artist = Rows.text(c, MediaStore.Audio.Media.ARTIST);
                m.albumId = Rows.number(c, MediaStore.Audio.Media.ALBUM_ID);
            }
            return m;
        } finally {
            c.close();
        }
    }

    @Override
    public boolean nameTaken(MediaKind kind, String name) {
        return new File(new File(root(), kind.incomingFolder), name).exists();
    }

    private static String mimeType(String name) {
        int dot = name.lastIndexOf('.');
        String ext = dot < 0 ? "" : name.substring(dot + 1).toLowerCase(Locale.ROOT);
        String type = MimeTypeMap.getSingleton().getMimeTypeFromExtension(ext);
        return type != null ? type : "application/octet-stream";
    }

    /** Hands files to the media scanner and waits (a little) until it has entered them. */
    private void scan(String... paths) {
        final CountDownLatch done = new CountDownLatch(paths.length);
        MediaScannerConnection.scanFile(context, paths, null, (path, uri) -> done.countDown());
        try {
            done.await(10, TimeUnit.SECONDS);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    @Override
    public int enterPushed(MediaKind kind, String name) {
        File file = new File(new File(root(), kind.incomingFolder), name);
        if (!file.isFile())
            return -1;
        scan(file.getAbsolutePath());
        touched(kind);
        return 1;
    }

    @Override
    public Upload open(MediaKind kind, String name) throws IOException {
        return scopedStorage() ? new PendingEntry(kind, name) : new HiddenFile(kind, name);
    }

    /** Android 10 and later: a pending entry, invisible to other apps until it is published. */
    private final class PendingEntry extends StreamUpload {
        private final MediaKind kind;
        private final String name, folder;
        private final Uri uri;
        private boolean published;

        PendingEntry(MediaKind kind, String name) throws IOException {
            this.kind = kind;
            this.name = name;
            this.folder = standardFolder(kind) + "/";
            ContentValues v = new ContentValues();
            v.put(MediaColumns.DISPLAY_NAME, name);
            v.put(MediaColumns.MIME_TYPE, mimeType(name));
            v.put(MediaColumns.RELATIVE_PATH, folder);
            v.put(MediaColumns.IS_PENDING, Integer.valueOf(1));
            uri = resolver.insert(collection(kind), v);
            if (uri == null)
                throw new IOException("the media store refused " + name);
            OutputStream out = resolver.openOutputStream(uri);
            if (out == null)
                throw new IOException("cannot write " + name);
            writeTo(out);
        }

        private boolean taken(String candidate) throws IOException {
            Cursor c = Rows.query(resolver, collection(kind), new String[] {MediaColumns._ID},
                    MediaColumns.DISPLAY_NAME + " = ? AND " + MediaColumns.RELATIVE_PATH + " = ? AND "
                            + MediaColumns._ID + " != ?",
                    new String[] {candidate, folder, uri.getLastPathSegment()}, null);
            try {
                return c.getCount() > 0 || new File(new File(root(), folder), candidate).exists();
            } finally {
                c.close();
            }
        }

        @Override
        public int commit() throws IOException {
            close();
            // Never replace a file already on the phone: take the first free name.
            String chosen = name;
            for (int n = 1; taken(chosen) && n < 100000; n++)
                chosen = FileNames.numbered(name, n);
            ContentValues v = new ContentValues();
            v.put(MediaColumns.DISPLAY_NAME, chosen);
            v.put(MediaColumns.IS_PENDING, Integer.valueOf(0));
            published = resolver.update(uri, v, null, null) > 0;
            touched(kind);
            return published ? 1 : -1;
        }

        @Override
        public void discard() {
            try {
                close();
            } catch (IOException ignored) {
                // the entry goes anyway
            }
            if (!published)
                resolver.delete(uri, null, null);
        }
    }

    /** Before Android 10: a hidden file in the incoming folder, renamed and scanned when complete. */
    private final class HiddenFile extends StreamUpload {
        private final MediaKind kind;
        private final String name;
        private final File folder, temp;

        HiddenFile(MediaKind kind, String name) throws IOException {
            this.kind = kind;
            this.name = name;
            folder = new File(root(), kind.incomingFolder);
            if (!folder.isDirectory() && !folder.mkdirs())
                throw new IOException("cannot make " + folder);
            temp = File.createTempFile(".partial-", "", folder);
            writeTo(new FileOutputStream(temp));
        }

        @Override
        public int commit() throws IOException {
            close();
            File target = new File(folder, name);
            for (int n = 1; target.exists() && n < 100000; n++)
                target = new File(folder, FileNames.numbered(name, n));
            if (target.exists() || !temp.renameTo(target))
                return -1;
            scan(target.getAbsolutePath());
            touched(kind);
            return 1;
        }

        @Override
        public void discard() {
            try {
                close();
            } catch (IOException ignored) {
                // the file goes anyway
            }
            if (temp.exists() && !temp.delete())
                temp.deleteOnExit();
        }
    }

    @Override
    public byte[] read(MediaKind kind, long id, long offset, int count) throws IOException {
        Uri uri = ContentUris.withAppendedId(collection(kind), id);
        ParcelFileDescriptor fd;
        try {
            fd = resolver.openFileDescriptor(uri, "r");
        } catch (java.io.FileNotFoundException | SecurityException | IllegalArgumentException e) {
            return new byte[0];
        }
        if (fd == null)
            return new byte[0];
        try {
            FileInputStream in = new FileInputStream(fd.getFileDescriptor());
            try {
                FileChannel ch = in.getChannel();
                long size = ch.size();
                if (offset >= size)
                    return new byte[0];
                ByteBuffer buf = ByteBuffer.allocate((int) Math.min(count, size - offset));
                while (buf.hasRemaining() && ch.read(buf, offset + buf.position()) > 0) {
                    // until the chunk is full or the file ends
                }
                byte[] out = new byte[buf.position()];
                buf.flip();
                buf.get(out);
                return out;
            } finally {
                in.close();
            }
        } finally {
            fd.close();
        }
    }

    @Override
    public boolean delete(MediaKind kind, long id) throws IOException {
        touched(kind);
        try {
            // From Android 11 another app's file needs the user's consent; the
            // provider then refuses and the item stays.
            return resolver.delete(ContentUris.withAppendedId(collection(kind), id), null, null) > 0;
        } catch (SecurityException e) {
            throw new IOException("the media store refused the deletion: " + e.getMessage(), e);
        }
    }

    @Override
    public boolean clear(MediaKind kind) throws IOException {
        boolean ok = true;
        for (long id : ids(kind, true))
            ok = delete(kind, id) && ok;
        return ok;
    }

    @Override
    @SuppressWarnings("deprecation")
    public byte[] thumbnail(MediaKind kind, long id) throws IOException {
        Bitmap picture;
        try {
            if (scopedStorage())
                picture = resolver.loadThumbnail(ContentUris.withAppendedId(collection(kind), id), new Size(160, 160), null);
            else if (kind == MediaKind.PHOTO)
                picture = MediaStore.Images.Thumbnails.getThumbnail(resolver, id, MediaStore.Images.Thumbnails.MINI_KIND, null);
            else if (kind == MediaKind.VIDEO)
                picture = MediaStore.Video.Thumbnails.getThumbnail(resolver, id, MediaStore.Video.Thumbnails.MINI_KIND, null);
            else
                picture = null;
        } catch (IOException | SecurityException e) {
            picture = null;
        }
        if (picture == null)
            return new byte[0];
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        picture.compress(Bitmap.CompressFormat.JPEG, 85, out);
        picture.recycle();
        return out.toByteArray();
    }

    @Override
    public String externalStorage() {
        return root().getAbsolutePath();
    }
}
