package android.os;

public final class CancellationSignal {
    public CancellationSignal() { throw new RuntimeException("Stub!"); }
}
