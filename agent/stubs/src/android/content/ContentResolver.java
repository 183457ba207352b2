package android.content;

import android.database.Cursor;
import android.graphics.Bitmap;
import android.net.Uri;
import android.os.CancellationSignal;
import android.util.Size;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.ArrayList;

public abstract class ContentResolver {
    public final Cursor query(Uri uri, String[] projection, String selection, String[] selectionArgs,
            String sortOrder) { throw new RuntimeException("Stub!"); }
    public final Uri insert(Uri url, ContentValues values) { throw new RuntimeException("Stub!"); }
    public final int update(Uri uri, ContentValues values, String where, String[] selectionArgs) {
        throw new RuntimeException("Stub!");
    }
    public final int delete(Uri url, String where, String[] selectionArgs) { throw new RuntimeException("Stub!"); }
    public ContentProviderResult[] applyBatch(String authority, ArrayList<ContentProviderOperation> operations)
            throws android.os.RemoteException, OperationApplicationException { throw new RuntimeException("Stub!"); }
    public final InputStream openInputStream(Uri uri) throws java.io.FileNotFoundException {
        throw new RuntimeException("Stub!");
    }
    public final OutputStream openOutputStream(Uri uri) throws java.io.FileNotFoundException {
        throw new RuntimeException("Stub!");
    }
    public final android.os.ParcelFileDescriptor openFileDescriptor(Uri uri, String mode)
            throws java.io.FileNotFoundException { throw new RuntimeException("Stub!"); }
    public Bitmap loadThumbnail(Uri uri, Size size, CancellationSignal signal) throws IOException {
        throw new RuntimeException("Stub!");
    }
}
