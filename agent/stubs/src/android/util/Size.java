package android.util;

public final class Size {
    public Size(int width, int height) { throw new RuntimeException("Stub!"); }
}
