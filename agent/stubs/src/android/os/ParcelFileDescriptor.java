package android.os;

import java.io.Closeable;
import java.io.FileDescriptor;

public class ParcelFileDescriptor implements Closeable {
    public FileDescriptor getFileDescriptor() { throw new RuntimeException("Stub!"); }
    public long getStatSize() { throw new RuntimeException("Stub!"); }
    @Override
    public void close() throws java.io.IOException { throw new RuntimeException("Stub!"); }
}
