package com.quellfin.kestrova.core;

import java.io.IOException;

/** The phone's contacts. */
public interface ContactBook extends RecordStore<ContactField> {
    /** Sets one field of a contact: 1 done, 0 no such contact. */
    int update(long id, ContactField field, String value) throws IOException;
}
