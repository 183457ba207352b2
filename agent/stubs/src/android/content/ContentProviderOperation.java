package android.content;

import android.net.Uri;

public class ContentProviderOperation {
    public static Builder newInsert(Uri uri) { throw new RuntimeException("Stub!"); }
    public static Builder newUpdate(Uri uri) { throw new RuntimeException("Stub!"); }
    public static Builder newDelete(Uri uri) { throw new RuntimeException("Stub!"); }

    public static class Builder {
        public ContentProviderOperation build() { throw new RuntimeException("Stub!"); }
        public Builder withValue(String key, Object value) { throw new RuntimeException("Stub!"); }
        public Builder withValues(ContentValues values) { throw new RuntimeException("Stub!"); }
        public Builder withValueBackReference(String key, int previousResult) { throw new RuntimeException("Stub!"); }
        public Builder withSelection(String selection, String[] selectionArgs) { throw new RuntimeException("Stub!"); }
    }
}
