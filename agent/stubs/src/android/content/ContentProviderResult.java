package android.content;

import android.net.Uri;

public class ContentProviderResult {
    public final Uri uri = null;
    public final Integer count = null;
}
