package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.database.Cursor;
import android.net.Uri;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

/** Small helpers over provider queries: id lists in a stable order, texts that are never null. */
final class Rows {
    private Rows() {}

    /** The ids of every row the selection matches, oldest first. */
    static long[] ids(ContentResolver resolver, Uri uri, String selection, String[] args) throws IOException {
        Cursor c = query(resolver, uri, new String[] {"_id"}, selection, args, "_id ASC");
        try {
            long[] out = new long[c.getCount()];
            int i = 0;
            while (c.moveToNext() && i < out.length)
                out[i++] = c.getLong(0);
            return i == out.length ? out : java.util.Arrays.copyOf(out, i);
        } finally {
            c.close();
        }
    }

    /** A query that never returns null: a provider that is missing or refuses throws instead. */
    static Cursor query(ContentResolver resolver, Uri uri, String[] projection, String selection, String[] args,
            String order) throws IOException {
        Cursor c;
        try {
            c = resolver.query(uri, projection, selection, args, order);
        } catch (SecurityException e) {
            throw new IOException("no permission to read " + uri + ": " + e.getMessage(), e);
        }
        if (c == null)
            throw new IOException("no provider answers " + uri);
        return c;
    }

    /** "_id IN (?, ?, ...)" and its arguments for a slice of ids. */
    static String inClause(String column, long[] ids, int from, int to, List<String> args) {
        StringBuilder sql = new StringBuilder(column).append(" IN (");
        for (int i = from; i < to; i++) {
            sql.append(i == from ? "?" : ", ?");
            args.add(Long.toString(ids[i]));
        }
        return sql.append(")").toString();
    }

    static String text(Cursor c, String column) {
        int i = c.getColumnIndex(column);
        if (i < 0 || c.isNull(i))
            return "";
        String s = c.getString(i);
        return s == null ? "" : s;
    }

    static long number(Cursor c, String column) {
        int i = c.getColumnIndex(column);
        return i < 0 || c.isNull(i) ? 0 : c.getLong(i);
    }

    static String[] args(List<String> list) {
        return list.toArray(new String[0]);
    }

    static List<String> newArgs() {
        return new ArrayList<>();
    }
}
