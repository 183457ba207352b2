package com.quellfin.kestrova.core;

import java.io.IOException;
import java.util.List;

/**
 * One kind of personal data on the phone. Positions are the records in a
 * stable order (oldest first), so a reader paging through them sees each
 * record once.
 */
public interface RecordStore<F extends Enum<F> & Field> {
    int count() throws IOException;

    /** Records at positions [start, start + limit); empty past the end. */
    List<Record<F>> page(int start, int limit) throws IOException;

    /** Stores a new record (its id is ignored); returns the new id, or 0 or less when refused. */
    long add(Record<F> record) throws IOException;

    /** Deletes every record of the kind. */
    boolean clear() throws IOException;
}
