package com.quellfin.kestrova.core;

import java.util.EnumMap;
import java.util.Map;

/** One personal-data record: the phone's id and the texts of its fields ("" = absent). */
public final class Record<F extends Enum<F> & Field> {
    public final long id;
    private final EnumMap<F, String> values;

    public Record(Class<F> fields, long id) {
        this.id = id;
        this.values = new EnumMap<>(fields);
    }

    public String get(F field) {
        String v = values.get(field);
        return v == null ? "" : v;
    }

    public Record<F> set(F field, String value) {
        if (value == null || value.isEmpty())
            values.remove(field);
        else
            values.put(field, value);
        return this;
    }

    public Map<F, String> values() {
        return values;
    }

    @Override
    public String toString() {
        return id + " " + values;
    }
}
