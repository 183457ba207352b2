package android.util;

public final class Log {
    public static int i(String tag, String msg) { throw new RuntimeException("Stub!"); }
    public static int w(String tag, String msg) { throw new RuntimeException("Stub!"); }
    public static int w(String tag, String msg, Throwable tr) { throw new RuntimeException("Stub!"); }
}
