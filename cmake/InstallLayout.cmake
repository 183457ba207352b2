# Where an installed program keeps its files (GNU layout under any prefix):
#
#   <prefix>/bin/                 kestrova, kestrova-transfer, kestrova-backup
#   <prefix>/<libdir>/kestrova/   the program's folder, laid out as the build's
#                                 bin/: the four libraries, root/, plugins/,
#                                 docs/, translations/
#   <prefix>/share/...            launcher entry, icons, metainfo, man pages
#
# The executables find their folder relative to their own place (see
# sdk/common/program_folder.h), and their libraries through a relative RPATH,
# so a staging install runs as it is.
include(GNUInstallDirs)
set(KESTROVA_INSTALL_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/kestrova)
file(RELATIVE_PATH KESTROVA_INSTALL_BIN_TO_PROGRAM
  /${CMAKE_INSTALL_BINDIR} /${KESTROVA_INSTALL_PROGRAM_DIR})
# The name the desktop knows the program by: launcher entry, icon, metainfo.
set(KESTROVA_APP_ID io.github.kestrova.Kestrova)
