package android.content;

import android.net.Uri;

public class Intent {
    public static final int FLAG_ACTIVITY_NEW_TASK = 0x10000000;
    public static final int FLAG_ACTIVITY_SINGLE_TOP = 0x20000000;
    public static final String ACTION_MAIN = "android.intent.action.MAIN";

    public Intent() { throw new RuntimeException("Stub!"); }
    public Intent(String action) { throw new RuntimeException("Stub!"); }
    public Intent(Context packageContext, Class<?> cls) { throw new RuntimeException("Stub!"); }
    public String getAction() { throw new RuntimeException("Stub!"); }
    public Intent setAction(String action) { throw new RuntimeException("Stub!"); }
    public Intent addFlags(int flags) { throw new RuntimeException("Stub!"); }
    public Intent putExtra(String name, String value) { throw new RuntimeException("Stub!"); }
    public String getStringExtra(String name) { throw new RuntimeException("Stub!"); }
    public void removeExtra(String name) { throw new RuntimeException("Stub!"); }
    public Intent setData(Uri data) { throw new RuntimeException("Stub!"); }
    public ComponentName getComponent() { throw new RuntimeException("Stub!"); }
}
