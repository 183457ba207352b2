package com.quellfin.kestrova.phone;

import android.content.Intent;
import android.content.pm.ApplicationInfo;
import android.content.pm.PackageInfo;
import android.content.pm.PackageManager;
import android.os.Build;
import com.quellfin.kestrova.core.AppCatalog;
import com.quellfin.kestrova.core.AppInfo;
import java.io.File;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * Installed apps from the package manager. An app's package files are its
 * base APK and, for apps shipped as split APKs, every split; the sizes add
 * them up. Seeing every app from Android 11 needs QUERY_ALL_PACKAGES.
 */
final class PackageApps implements AppCatalog {
    private final PackageManager pm;

    PackageApps(PackageManager pm) {
        this.pm = pm;
    }

    @Override
    @SuppressWarnings("deprecation")
    public List<AppInfo> list() {
        List<AppInfo> out = new ArrayList<>();
        for (PackageInfo p : pm.getInstalledPackages(PackageManager.GET_PERMISSIONS)) {
            ApplicationInfo a = p.applicationInfo;
            if (a == null)
                continue;
            AppInfo app = new AppInfo();
            app.packageName = p.packageName;
            Intent launch = pm.getLaunchIntentForPackage(p.packageName);
            app.className = launch != null && launch.getComponent() != null ? launch.getComponent().getClassName()
                    : a.className != null ? a.className : "";
            CharSequence label = pm.getApplicationLabel(a);
            app.label = label != null ? label.toString() : p.packageName;
            app.versionName = p.versionName != null ? p.versionName : "";
            app.versionCode = Build.VERSION.SDK_INT >= Build.VERSION_CODES.P ? p.getLongVersionCode() : p.versionCode;
            app.system = (a.flags & ApplicationInfo.FLAG_SYSTEM) != 0;
            app.onSdCard = (a.flags & ApplicationInfo.FLAG_EXTERNAL_STORAGE) != 0;
            app.apkPaths = apkPaths(a);
            for (String path : app.apkPaths)
                app.codeSize += new File(path).length();
            app.totalSize = app.codeSize;
            app.installTime = p.firstInstallTime;
            app.updateTime = p.lastUpdateTime;
            app.permissions = permissions(p.requestedPermissions);
            out.add(app);
        }
        Collections.sort(out, (x, y) -> x.packageName.compareTo(y.packageName));
        return out;
    }

    static List<String> apkPaths(ApplicationInfo a) {
        List<String> paths = new ArrayList<>();
        if (a.sourceDir != null)
            paths.add(a.sourceDir);
        if (a.splitSourceDirs != null)
            Collections.addAll(paths, a.splitSourceDirs);
        return paths;
    }

    /** The requested permissions, short names joined by ","; the desktop keeps 127 characters. */
    static String permissions(String[] requested) {
        if (requested == null)
            return "";
        StringBuilder b = new StringBuilder();
        for (String p : requested) {
            String shortName = p.startsWith("android.permission.") ? p.substring(19) : p;
            if (b.length() + shortName.length() + 1 > 127)
                break;
            b.append(b.length() == 0 ? "" : ",").append(shortName);
        }
        return b.toString();
    }
}
