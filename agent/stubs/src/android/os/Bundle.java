package android.os;

public final class Bundle {
    public Bundle() { throw new RuntimeException("Stub!"); }
}
