package android.graphics;

import java.io.OutputStream;

public final class Bitmap {
    public enum CompressFormat { JPEG, PNG }

    public boolean compress(CompressFormat format, int quality, OutputStream stream) { throw new RuntimeException("Stub!"); }
    public void recycle() { throw new RuntimeException("Stub!"); }
}
