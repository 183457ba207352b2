package com.quellfin.kestrova.core;

import java.io.IOException;
import java.io.OutputStream;

/**
 * An upload whose bytes go to one output stream, closed once: the phone's
 * and the lab's uploads differ only in where that stream leads and in how
 * the finished file is entered.
 */
public abstract class StreamUpload implements Upload {
    private OutputStream out;
    private boolean closed;

    /** Where the bytes go; set once, by the subclass's constructor. */
    protected final void writeTo(OutputStream stream) {
        out = stream;
    }

    @Override
    public void write(byte[] bytes) throws IOException {
        out.write(bytes);
    }

    @Override
    public void close() throws IOException {
        if (!closed) {
            closed = true;
            out.close();
        }
    }
}
