package android.app;

public final class NotificationChannel {
    public NotificationChannel(String id, CharSequence name, int importance) { throw new RuntimeException("Stub!"); }
}
