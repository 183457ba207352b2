package android.webkit;

public class MimeTypeMap {
    public static MimeTypeMap getSingleton() { throw new RuntimeException("Stub!"); }
    public static String getFileExtensionFromUrl(String url) { throw new RuntimeException("Stub!"); }
    public String getMimeTypeFromExtension(String extension) { throw new RuntimeException("Stub!"); }
}
