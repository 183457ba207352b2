package android.provider;

public interface BaseColumns {
    String _ID = "_id";
    String _COUNT = "_count";
}
