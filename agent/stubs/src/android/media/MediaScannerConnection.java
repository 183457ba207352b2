package android.media;

import android.content.Context;
import android.net.Uri;

public class MediaScannerConnection {
    public interface OnScanCompletedListener {
        void onScanCompleted(String path, Uri uri);
    }

    public static void scanFile(Context context, String[] paths, String[] mimeTypes,
            OnScanCompletedListener callback) { throw new RuntimeException("Stub!"); }
}
