// The steps of start-up that set up the application object, kept apart from
// main() so they can be run again on a test's own application object.
#pragma once

#include <QString>

// Removes every library path and leaves applicationDir + "/plugins" as the
// only one (printed to the debug output). Returns that plug-in path. Qt's
// platform plug-in is already loaded by then; every plug-in loaded later
// (image formats for the spinner) must be found in the program's folder.
QString restrictLibraryPaths(const QString& applicationDir);

// Registers pluginPath + "/font/Lato-Bold.ttf", then "/font/Lato-Regular.ttf".
// A font counts as loaded only with a font id above 0, so Lato at 10 points
// becomes the application font when both files are there (Bold takes id 0)
// and the default font stays otherwise. Returns true when Lato was applied.
bool loadApplicationFonts(const QString& pluginPath);

class QLocale;

// Installs the program's translation for the locale's languages (the
// system's: LANGUAGE, LC_ALL, LC_MESSAGES, LANG), "kestrova_<lang>.qm" from
// folder, with Qt's own for its dialogs. Replaces what an earlier call
// installed; English (no translation) when none matches. Returns true when
// the program's translation was installed. The program runs it by itself
// when its application object is made, from "<program folder>/translations".
bool installTranslations(const QString& folder, const QLocale& locale);
