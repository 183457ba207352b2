package android;

public final class R {
    public static final class drawable {
        public static final int stat_notify_sync;

        static {
            stat_notify_sync = 0; // the real value comes from android.jar
        }
    }
}
