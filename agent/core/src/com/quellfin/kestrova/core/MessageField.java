package com.quellfin.kestrova.core;

/** A text message: date in ms since 1970, type the box number, read "1"/"0". */
public enum MessageField implements Field {
    THREAD_ID("THREAD_ID"),
    ADDRESS("ADDRESS"),
    PERSON("PERSON"),
    BODY("BODY"),
    DATE("DATE"),
    TYPE("TYPE"),
    READ("READ");

    private final String replyKey;

    MessageField(String replyKey) {
        this.replyKey = replyKey;
    }

    @Override
    public String replyKey() {
        return replyKey;
    }
}
