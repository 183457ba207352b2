package com.quellfin.kestrova.core;

import java.io.IOException;

/**
 * The default-SMS-app role. From Android 4.4 only the holder may write
 * messages, and since Android 14 some messages are hidden from readers that
 * do not hold it.
 */
public interface SmsRole {
    /** True when only the role's holder may write messages on this phone. */
    boolean restrictsWriters();

    /** True while this agent holds the role. */
    boolean held() throws IOException;

    /** Asks the user to give the role to the agent: 1 already held, 0 asked (or still asking). */
    int request() throws IOException;

    /** Hands the role back to the app that had it: 1 it was held, 0 it was not. */
    int release() throws IOException;

    /** Package name of the app that holds the role now ("" when none). */
    String holder() throws IOException;
}
