package com.quellfin.kestrova.core;

import java.io.IOException;

/**
 * A file arriving from the desktop. Its bytes stay out of sight until
 * commit() enters it under the first free name, so an aborted or broken copy
 * never leaves a file behind.
 */
public interface Upload {
    void write(byte[] bytes) throws IOException;

    /** Ends the writing; the file is not visible yet. */
    void close() throws IOException;

    /** Makes the file visible under its name or the first free numbered one: 1 done, -1 failed. */
    int commit() throws IOException;

    /** Drops whatever arrived. Safe to call more than once. */
    void discard();
}
