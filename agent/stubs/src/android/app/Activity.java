package android.app;

import android.content.ContextWrapper;
import android.content.Intent;
import android.os.Bundle;

public class Activity extends ContextWrapper {
    public static final int RESULT_OK = -1;

    public Activity() { super(null); throw new RuntimeException("Stub!"); }
    protected void onCreate(Bundle savedInstanceState) { throw new RuntimeException("Stub!"); }
    protected void onNewIntent(Intent intent) { throw new RuntimeException("Stub!"); }
    protected void onActivityResult(int requestCode, int resultCode, Intent data) { throw new RuntimeException("Stub!"); }
    public Intent getIntent() { throw new RuntimeException("Stub!"); }
    public void startActivityForResult(Intent intent, int requestCode) { throw new RuntimeException("Stub!"); }
    public void setContentView(android.view.View view) { throw new RuntimeException("Stub!"); }
    public void requestPermissions(String[] permissions, int requestCode) { throw new RuntimeException("Stub!"); }
    public void finish() { throw new RuntimeException("Stub!"); }
}
