package android.net;

public abstract class Uri {
    public static Uri parse(String uriString) { throw new RuntimeException("Stub!"); }
    public static Uri fromFile(java.io.File file) { throw new RuntimeException("Stub!"); }
    public abstract Builder buildUpon();
    public abstract String getLastPathSegment();

    public static final class Builder {
        public Builder appendQueryParameter(String key, String value) { throw new RuntimeException("Stub!"); }
        public Uri build() { throw new RuntimeException("Stub!"); }
    }
}
