package android.os;

import java.io.File;

public class Environment {
    public static final String DIRECTORY_PICTURES = "Pictures";
    public static final String DIRECTORY_MUSIC = "Music";
    public static final String DIRECTORY_MOVIES = "Movies";

    public static File getExternalStorageDirectory() { throw new RuntimeException("Stub!"); }
}
