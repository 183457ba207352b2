package com.quellfin.kestrova.phone;

import android.content.ContentResolver;
import android.content.ContentUris;
import android.content.ContentValues;
import android.database.Cursor;
import android.net.Uri;
import com.quellfin.kestrova.core.Field;
import com.quellfin.kestrova.core.Record;
import com.quellfin.kestrova.core.RecordStore;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

/**
 * A kind of personal data kept by one provider table. Positions are rows in
 * id order; the id list is read again by count() and by the first page, so a
 * reader that counts and then pages from 0 sees one consistent list.
 */
abstract class ProviderTable<F extends Enum<F> & Field> implements RecordStore<F> {
    protected final ContentResolver resolver;
    protected final Uri uri;
    private final Class<F> fields;
    private long[] ids;

    ProviderTable(ContentResolver resolver, Uri uri, Class<F> fields) {
        this.resolver = resolver;
        this.uri = uri;
        this.fields = fields;
    }

    /** Which rows count as the kind's records; null for all. */
    protected String selection() {
        return null;
    }

    protected abstract String[] projection();

    /** Fills a record from the cursor's current row. */
    protected abstract void read(Cursor c, Record<F> into) throws IOException;

    protected abstract ContentValues values(Record<F> record);

    private synchronized long[] ids(boolean fresh) throws IOException {
        if (ids == null || fresh)
            ids = Rows.ids(resolver, uri, selection(), null);
        return ids;
    }

    protected synchronized void touched() {
        ids = null;
    }

    @Override
    public int count() throws IOException {
        return ids(true).length;
    }

    @Override
    public List<Record<F>> page(int start, int limit) throws IOException {
        long[] all = ids(start == 0);
        List<Record<F>> out = new ArrayList<>();
        if (start < 0 || start >= all.length || limit <= 0)
            return out;
        int end = Math.min(all.length, start + limit);
        List<String> args = Rows.newArgs();
        String where = Rows.inClause("_id", all, start, end, args);
        Cursor c = Rows.query(resolver, uri, projection(), where, Rows.args(args), "_id ASC");
        try {
            while (c.moveToNext()) {
                Record<F> r = new Record<>(fields, Rows.number(c, "_id"));
                read(c, r);
                out.add(r);
            }
        } finally {
            c.close();
        }
        return out;
    }

    @Override
    public long add(Record<F> record) throws IOException {
        touched();
        Uri row;
        try {
            row = resolver.insert(uri, values(record));
        } catch (SecurityException | IllegalArgumentException e) {
            throw new IOException("insert into " + uri + " refused: " + e.getMessage(), e);
        }
        return row == null ? -1 : ContentUris.parseId(row);
    }

    @Override
    public boolean clear() throws IOException {
        touched();
        try {
            resolver.delete(uri, selection(), null);
            return true;
        } catch (SecurityException e) {
            throw new IOException("delete from " + uri + " refused: " + e.getMessage(), e);
        }
    }

    static void putText(ContentValues v, String column, String value) {
        if (!value.isEmpty())
            v.put(column, value);
    }

    static void putNumber(ContentValues v, String column, String value) {
        try {
            if (!value.isEmpty())
                v.put(column, Long.valueOf(Long.parseLong(value.trim())));
        } catch (NumberFormatException e) {
            // a text where a number belongs is left out rather than stored as text
        }
    }
}
