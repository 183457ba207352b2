// Where the program's own files are at run time: the four libraries, root/
// with adb and getusb, plugins/ with the fonts and image-format plug-ins,
// docs/ and translations/.
//
// In the build they sit beside the executables (build/bin/). An installed
// program keeps its executables in <prefix>/bin, on the PATH, and the rest in
// <prefix>/<libdir>/kestrova; the executables find that folder from their
// own place, so a staging install or a relocated prefix works the same.
#pragma once

#include <string>

namespace kestrova {

// The folder of the running executable, resolved through /proc/self/exe,
// with a trailing "/" ("" when it cannot be read).
std::string executableFolder();

// The program's folder with a trailing "/": installedFolder(executableFolder())
// when that folder exists, else the executable's own folder.
std::string programFolder();

// exeFolder (with its trailing "/") joined with the installed layout's path
// from bin/ to the program's folder ("../lib/kestrova/"), normalised.
std::string installedFolder(const std::string& exeFolder);

// The choice programFolder() makes, for any executable folder.
std::string programFolderFor(const std::string& exeFolder);

} // namespace kestrova
