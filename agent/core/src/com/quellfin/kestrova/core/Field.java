package com.quellfin.kestrova.core;

/** One field of a personal-data record and the key it goes out under in listings. */
public interface Field {
    /** Key in page replies; null for a field that is never listed on its own. */
    String replyKey();
}
