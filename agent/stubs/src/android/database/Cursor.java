package android.database;

import java.io.Closeable;

public interface Cursor extends Closeable {
    int getCount();
    boolean moveToNext();
    boolean moveToFirst();
    int getColumnIndex(String columnName);
    String getString(int columnIndex);
    long getLong(int columnIndex);
    int getInt(int columnIndex);
    boolean isNull(int columnIndex);
    @Override
    void close();
}
