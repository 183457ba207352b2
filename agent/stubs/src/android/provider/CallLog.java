package android.provider;

import android.net.Uri;

public class CallLog {
    public static class Calls implements BaseColumns {
        public static final Uri CONTENT_URI = null;
        public static final String CACHED_NAME = "name";
        public static final String NUMBER = "number";
        public static final String DATE = "date";
        public static final String TYPE = "type";
        public static final String DURATION = "duration";
        public static final String NEW = "new";
        public static final String IS_READ = "is_read";
    }
}
