package com.quellfin.kestrova.core;

import java.util.ArrayList;
import java.util.List;

/** One installed app. Sizes in bytes, times in ms since 1970. */
public final class AppInfo {
    public String packageName = "", className = "", label = "", versionName = "", permissions = "";
    public long versionCode, cacheSize, dataSize, codeSize, totalSize, installTime, updateTime;
    public boolean system, onSdCard;
    /** The package files on the phone: the base APK, then any split APKs. */
    public List<String> apkPaths = new ArrayList<>();
}
