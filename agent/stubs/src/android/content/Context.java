package android.content;

import android.content.pm.PackageManager;

public abstract class Context {
    public static final int MODE_PRIVATE = 0;
    public static final String NOTIFICATION_SERVICE = "notification";
    public static final String ROLE_SERVICE = "role";

    public abstract ContentResolver getContentResolver();
    public abstract PackageManager getPackageManager();
    public abstract String getPackageName();
    public abstract Context getApplicationContext();
    public abstract SharedPreferences getSharedPreferences(String name, int mode);
    public abstract Object getSystemService(String name);
    public abstract void startActivity(Intent intent);
    public abstract ComponentName startService(Intent service);
    public abstract ComponentName startForegroundService(Intent service);
    public abstract int checkSelfPermission(String permission);
}
