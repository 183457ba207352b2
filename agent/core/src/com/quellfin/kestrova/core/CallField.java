package com.quellfin.kestrova.core;

/** A call-log entry: date in ms since 1970, duration in seconds. */
public enum CallField implements Field {
    NAME("NAME"),
    NUMBER("NUMBER"),
    DATE("DATE"),
    TYPE("TYPE"),
    DURATION("DURATION");

    private final String replyKey;

    CallField(String replyKey) {
        this.replyKey = replyKey;
    }

    @Override
    public String replyKey() {
        return replyKey;
    }
}
