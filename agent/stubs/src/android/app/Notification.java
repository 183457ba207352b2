package android.app;

import android.content.Context;

public class Notification {
    public static class Builder {
        public Builder(Context context) { throw new RuntimeException("Stub!"); }
        public Builder(Context context, String channelId) { throw new RuntimeException("Stub!"); }
        public Builder setContentTitle(CharSequence title) { throw new RuntimeException("Stub!"); }
        public Builder setContentText(CharSequence text) { throw new RuntimeException("Stub!"); }
        public Builder setSmallIcon(int icon) { throw new RuntimeException("Stub!"); }
        public Builder setOngoing(boolean ongoing) { throw new RuntimeException("Stub!"); }
        public Notification build() { throw new RuntimeException("Stub!"); }
    }
}
