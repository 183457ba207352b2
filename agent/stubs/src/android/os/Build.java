package android.os;

public class Build {
    public static class VERSION {
        public static final int SDK_INT = 0;
    }

    public static class VERSION_CODES {
        public static final int KITKAT = 19;
        public static final int M = 23;
        public static final int O = 26;
        public static final int P = 28;
        public static final int Q = 29;
        public static final int R = 30;
        public static final int TIRAMISU = 33;
        public static final int UPSIDE_DOWN_CAKE = 34;
    }
}
