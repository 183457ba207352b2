package android.graphics;

public class BitmapFactory {
    public static class Options {
    }
}
