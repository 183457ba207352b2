package android.content.pm;

import android.content.Intent;
import java.util.List;

public abstract class PackageManager {
    public static final int GET_PERMISSIONS = 0x00001000;
    public static final int PERMISSION_GRANTED = 0;

    public abstract List<PackageInfo> getInstalledPackages(int flags);
    public abstract Intent getLaunchIntentForPackage(String packageName);
    public abstract CharSequence getApplicationLabel(ApplicationInfo info);
}
