package android.provider;

import android.net.Uri;

public final class MediaStore {
    public interface MediaColumns extends BaseColumns {
        String DATA = "_data";
        String SIZE = "_size";
        String DISPLAY_NAME = "_display_name";
        String TITLE = "title";
        String DATE_ADDED = "date_added";
        String DATE_MODIFIED = "date_modified";
        String MIME_TYPE = "mime_type";
        String RELATIVE_PATH = "relative_path";
        String IS_PENDING = "is_pending";
        String DURATION = "duration";
    }

    public static final class Images {
        public static final class Media implements MediaColumns {
            public static final Uri EXTERNAL_CONTENT_URI = null;
        }

        public static class Thumbnails {
            public static final int MINI_KIND = 1;

            public static android.graphics.Bitmap getThumbnail(android.content.ContentResolver cr, long origId,
                    int kind, android.graphics.BitmapFactory.Options options) { throw new RuntimeException("Stub!"); }
        }
    }

    public static final class Audio {
        public static final class Media implements MediaColumns {
            public static final Uri EXTERNAL_CONTENT_URI = null;
            public static final String ALBUM = "album";
            public static final String ALBUM_ID = "album_id";
            public static final String ARTIST = "artist";
        }
    }

    public static final class Video {
        public static final class Media implements MediaColumns {
            public static final Uri EXTERNAL_CONTENT_URI = null;
        }

        public static class Thumbnails {
            public static final int MINI_KIND = 1;

            public static android.graphics.Bitmap getThumbnail(android.content.ContentResolver cr, long origId,
                    int kind, android.graphics.BitmapFactory.Options options) { throw new RuntimeException("Stub!"); }
        }
    }
}
