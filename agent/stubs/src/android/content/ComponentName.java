package android.content;

public final class ComponentName {
    public ComponentName(String pkg, String cls) { throw new RuntimeException("Stub!"); }
    public String getClassName() { throw new RuntimeException("Stub!"); }
}
