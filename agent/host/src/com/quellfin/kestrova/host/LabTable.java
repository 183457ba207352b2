package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.Field;
import com.quellfin.kestrova.core.Record;
import com.quellfin.kestrova.core.RecordStore;
import java.io.IOException;
import java.sql.PreparedStatement;
import java.sql.ResultSet;
import java.sql.SQLException;
import java.sql.Statement;
import java.util.ArrayList;
import java.util.List;

/**
 * One kind of personal data as a table of the lab store: one text column per
 * field, in the fields' order. Positions are rows in id order; the list of
 * ids is kept until the table changes, so paging costs one range query.
 */
class LabTable<F extends Enum<F> & Field> implements RecordStore<F> {
    protected final LabStore store;
    private final Class<F> fields;
    private final String table;
    private final String[] columns;
    private final F[] constants;
    private final String pageSql;
    private long[] ids;
    private long seenVersion = -1;

    LabTable(LabStore store, Class<F> fields, String table, String... columns) {
        this.store = store;
        this.fields = fields;
        this.table = table;
        this.columns = columns;
        this.constants = fields.getEnumConstants();
        if (columns.length != constants.length)
            throw new IllegalArgumentException(table + ": one column per field");
        this.pageSql = "SELECT id, " + String.join(", ", columns) + " FROM " + table
                + " WHERE id BETWEEN ? AND ? ORDER BY id";
    }

    private long[] ids() throws SQLException {
        long version = store.dataVersion();
        if (ids != null && version == seenVersion)
            return ids;
        seenVersion = version;
        List<Long> list = new ArrayList<>();
        try (Statement s = store.connection().createStatement();
                ResultSet r = s.executeQuery("SELECT id FROM " + table + " ORDER BY id")) {
            while (r.next())
                list.add(r.getLong(1));
        }
        ids = list.stream().mapToLong(Long::longValue).toArray();
        return ids;
    }

    protected void touched() {
        ids = null;
    }

    @Override
    public int count() throws IOException {
        synchronized (store) {
            try {
                return ids().length;
            } catch (SQLException e) {
                throw LabStore.failed("count " + table, e);
            }
        }
    }

    @Override
    public List<Record<F>> page(int start, int limit) throws IOException {
        synchronized (store) {
            List<Record<F>> rows = new ArrayList<>();
            try {
                long[] all = ids();
                if (start < 0 || start >= all.length || limit <= 0)
                    return rows;
                int last = Math.min(all.length, start + limit) - 1;
                PreparedStatement s = store.prepared(pageSql);
                s.setLong(1, all[start]);
                s.setLong(2, all[last]);
                try (ResultSet r = s.executeQuery()) {
                    while (r.next()) {
                        Record<F> row = new Record<>(fields, r.getLong(1));
                        for (int i = 0; i < constants.length; i++)
                            row.set(constants[i], r.getString(i + 2));
                        rows.add(row);
                    }
                }
                return rows;
            } catch (SQLException e) {
                throw LabStore.failed("page " + table, e);
            }
        }
    }

    @Override
    public long add(Record<F> record) throws IOException {
        synchronized (store) {
            try {
                return insert(record);
            } catch (SQLException e) {
                throw LabStore.failed("insert into " + table, e);
            }
        }
    }

    /** Inserts the record's fields; the caller holds the store. */
    protected long insert(Record<F> record) throws SQLException {
        touched();
        String marks = "?" + ", ?".repeat(columns.length - 1);
        try (PreparedStatement s = store.connection().prepareStatement("INSERT INTO " + table + "("
                + String.join(", ", columns) + ") VALUES(" + marks + ")", Statement.RETURN_GENERATED_KEYS)) {
            F[] f = fields.getEnumConstants();
            for (int i = 0; i < f.length; i++)
                s.setString(i + 1, record.get(f[i]));
            s.executeUpdate();
            try (ResultSet keys = s.getGeneratedKeys()) {
                return keys.next() ? keys.getLong(1) : 0;
            }
        }
    }

    /** Sets one column of one row: 1 done, 0 no such row. */
    protected int updateColumn(long id, String column, String value) throws IOException {
        synchronized (store) {
            touched();
            try (PreparedStatement s = store.connection().prepareStatement(
                    "UPDATE " + table + " SET " + column + " = ? WHERE id = ?")) {
                s.setString(1, value);
                s.setLong(2, id);
                return s.executeUpdate() > 0 ? 1 : 0;
            } catch (SQLException e) {
                throw LabStore.failed("update " + table, e);
            }
        }
    }

    protected String column(F field) {
        return columns[field.ordinal()];
    }

    @Override
    public boolean clear() throws IOException {
        synchronized (store) {
            touched();
            try (Statement s = store.connection().createStatement()) {
                s.executeUpdate("DELETE FROM " + table);
                return true;
            } catch (SQLException e) {
                throw LabStore.failed("clear " + table, e);
            }
        }
    }
}
