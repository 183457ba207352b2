package com.quellfin.kestrova.core;

/** One installed app. Sizes in bytes, times in ms since 1970. */
public final class AppInfo {
    public String packageName = "", className = "", label = "", versionName = "", permissions = "";
    public long versionCode, cacheSize, dataSize, codeSize, totalSize, installTime, updateTime;
    public boolean system, onSdCard;
}
