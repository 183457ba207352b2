package android.content;

import android.content.pm.PackageManager;

public class ContextWrapper extends Context {
    public ContextWrapper(Context base) { throw new RuntimeException("Stub!"); }
    @Override public ContentResolver getContentResolver() { throw new RuntimeException("Stub!"); }
    @Override public PackageManager getPackageManager() { throw new RuntimeException("Stub!"); }
    @Override public String getPackageName() { throw new RuntimeException("Stub!"); }
    @Override public Context getApplicationContext() { throw new RuntimeException("Stub!"); }
    @Override public SharedPreferences getSharedPreferences(String name, int mode) { throw new RuntimeException("Stub!"); }
    @Override public Object getSystemService(String name) { throw new RuntimeException("Stub!"); }
    @Override public void startActivity(Intent intent) { throw new RuntimeException("Stub!"); }
    @Override public ComponentName startService(Intent service) { throw new RuntimeException("Stub!"); }
    @Override public ComponentName startForegroundService(Intent service) { throw new RuntimeException("Stub!"); }
    @Override public int checkSelfPermission(String permission) { throw new RuntimeException("Stub!"); }
}
