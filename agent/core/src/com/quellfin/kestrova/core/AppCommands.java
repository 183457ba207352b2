package com.quellfin.kestrova.core;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/** The installed apps, without the agent itself. */
final class AppCommands {
    private final AppCatalog apps;

    AppCommands(AppCatalog apps) {
        this.apps = apps;
    }

    void register(Map<String, Session.Handler> h) {
        h.put("flushapplist", a -> Replies.int32(others().size()));
        h.put("getappcount", a -> Replies.int32(others().size()));
        h.put("getappindexinfo", this::info);
    }

    private List<AppInfo> others() throws IOException {
        List<AppInfo> out = new ArrayList<>();
        for (AppInfo app : apps.list())
            if (!Phone.AGENT_PACKAGE.equals(app.packageName))
                out.add(app);
        return out;
    }

    private byte[] info(String args) throws IOException {
        Long index = Args.integer(args);
        List<AppInfo> list = others();
        if (index == null || index < 0 || index >= list.size())
            return Replies.EMPTY;
        AppInfo app = list.get((int) (long) index);
        return new RecordWriter()
                .item("PKG", app.packageName)
                .item("CLS", app.className)
                .item("APPNAME", app.label)
                .item("VERSION", app.versionName)
                .item("VERSIONCODE", app.versionCode)
                .item("SYSTEMAPP", app.system ? 1 : 0)
                .item("SDCARDAPP", app.onSdCard ? 1 : 0)
                .item("CACHSEZE", app.cacheSize)
                .item("DATASIZE", app.dataSize)
                .item("CODESIZE", app.codeSize)
                .item("TOTALSIZE", app.totalSize)
                .item("INSTALLTIME", app.installTime)
                .item("LASTUPDATETIME", app.updateTime)
                .item("PERMISSIONS", app.permissions)
                .endRecord()
                .bytes();
    }
}
