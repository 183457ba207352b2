package com.quellfin.kestrova.core;

import java.io.IOException;
import java.util.List;

/** The phone's installed apps, in a stable order (by package name). */
public interface AppCatalog {
    List<AppInfo> list() throws IOException;
}
