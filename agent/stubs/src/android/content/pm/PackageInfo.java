package android.content.pm;

public class PackageInfo {
    public String packageName;
    public String versionName;
    public int versionCode;
    public long firstInstallTime;
    public long lastUpdateTime;
    public ApplicationInfo applicationInfo;
    public String[] requestedPermissions;

    public long getLongVersionCode() { throw new RuntimeException("Stub!"); }
}
