package com.quellfin.kestrova.core;

/**
 * Where the agent says what went wrong: logcat on a phone, standard error
 * on the host. Its own interface rather than java.util.function, which
 * phones before Android 7 do not have.
 */
public interface AgentLog {
    void line(String text);
}
