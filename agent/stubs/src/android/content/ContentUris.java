package android.content;

import android.net.Uri;

public class ContentUris {
    public static long parseId(Uri contentUri) { throw new RuntimeException("Stub!"); }
    public static Uri withAppendedId(Uri contentUri, long id) { throw new RuntimeException("Stub!"); }
}
