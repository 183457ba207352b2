package android.content.pm;

public class ApplicationInfo {
    public static final int FLAG_SYSTEM = 1 << 0;
    public static final int FLAG_UPDATED_SYSTEM_APP = 1 << 7;
    public static final int FLAG_EXTERNAL_STORAGE = 1 << 18;

    public String className;
    public int flags;
    public String sourceDir;
    public String[] splitSourceDirs;
}
