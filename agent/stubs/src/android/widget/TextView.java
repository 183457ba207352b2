package android.widget;

import android.content.Context;

public class TextView extends android.view.View {
    public TextView(Context context) { throw new RuntimeException("Stub!"); }
    public void setText(CharSequence text) { throw new RuntimeException("Stub!"); }
    public void setPadding(int left, int top, int right, int bottom) { throw new RuntimeException("Stub!"); }
}
