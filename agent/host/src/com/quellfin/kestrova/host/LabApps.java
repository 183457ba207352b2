package com.quellfin.kestrova.host;

import com.quellfin.kestrova.core.AppCatalog;
import com.quellfin.kestrova.core.AppInfo;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;

/**
 * The virtual phone's installed apps: each is DIR/data/app/PACKAGE-1/base.apk,
 * its install time the file's. A lab package file starts with a small text
 * header naming the package, label, version, class and permissions.
 */
final class LabApps implements AppCatalog {
    private static final String MAGIC = "KESTROVA-LAB-APK 1\n";
    private final Path appsDir;

    LabApps(String phoneDir) {
        appsDir = Path.of(phoneDir, "data", "app");
    }

    @Override
    public List<AppInfo> list() throws IOException {
        List<AppInfo> apps = new ArrayList<>();
        if (!Files.isDirectory(appsDir))
            return apps;
        try (DirectoryStream<Path> folders = Files.newDirectoryStream(appsDir)) {
            for (Path folder : folders) {
                String name = folder.getFileName().toString();
                int dash = name.lastIndexOf('-');
                Path apk = folder.resolve("base.apk");
                if (dash < 0 || !Files.isRegularFile(apk))
                    continue;
                BasicFileAttributes attrs = Files.readAttributes(apk, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
                AppInfo app = readHeader(apk);
                app.packageName = name.substring(0, dash); // the folder is what the package manager knows it by
                if (app.label.isEmpty())
                    app.label = app.packageName;
                app.codeSize = app.totalSize = attrs.size();
                app.installTime = app.updateTime = attrs.lastModifiedTime().toMillis() / 1000 * 1000;
                apps.add(app);
            }
        }
        apps.sort(Comparator.comparing(a -> a.packageName));
        return apps;
    }

    /** What the package file's header says; an unknown file gives an empty description. */
    static AppInfo readHeader(Path apk) {
        AppInfo info = unknown();
        byte[] head = new byte[4096];
        int got = 0;
        try (InputStream in = Files.newInputStream(apk)) {
            int n;
            while (got < head.length && (n = in.read(head, got, head.length - got)) > 0)
                got += n;
        } catch (IOException e) {
            return info;
        }
        String text = new String(head, 0, got, StandardCharsets.ISO_8859_1);
        if (!text.startsWith(MAGIC))
            return info;
        for (String line : text.substring(MAGIC.length()).split("\n", -1)) {
            if (line.isEmpty())
                break;
            int eq = line.indexOf('=');
            if (eq < 0)
                return unknown();
            String key = line.substring(0, eq);
            String value = new String(line.substring(eq + 1).getBytes(StandardCharsets.ISO_8859_1), StandardCharsets.UTF_8);
            switch (key) {
                case "label": info.label = value; break;
                case "versionName": info.versionName = value; break;
                case "versionCode": info.versionCode = parseLong(value); break;
                case "class": info.className = value; break;
                case "permissions": info.permissions = value; break;
                default: break;
            }
        }
        return info;
    }

    private static AppInfo unknown() {
        AppInfo info = new AppInfo();
        info.versionCode = 1;
        return info;
    }

    private static long parseLong(String text) {
        try {
            return Long.parseLong(text.trim());
        } catch (NumberFormatException e) {
            return 0;
        }
    }
}
