# The Debian package: `cpack -G DEB` in the build folder (or
# bench/package/deb_check.sh, which also installs and removes it) writes
# package/kestrova_<version>_<arch>.deb from the install rules.
#
# Dependencies: every shared library the programs and their libraries load,
# found by dpkg-shlibdeps (the private libraries are resolved through their
# $ORIGIN RPATH inside the package), plus what the program runs or reads
# from other packages: adb, usbmuxd for iPhones, the udev rules that give the
# desktop user access to Android phones, and the Lato fonts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Brisvane)
set(CPACK_PACKAGE_CONTACT "Brisvane <kestrova@brisvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "move a person's data from one phone to another")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrova copies contacts, text messages, call logs, calendar, photos, videos,\n"
  "music and apps from an Android phone, an iPhone or an iTunes backup of an\n"
  "iPhone onto an Android phone, over USB. It skips what the new phone already\n"
  "holds and says for each kind what arrived.\n"
  "\n"
  "The package holds the program kestrova, the command-line copy\n"
  "kestrova-transfer and the backup tool kestrova-backup.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/kestrova/kestrova)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Relative to the package's staging root, where dpkg-shlibdeps runs.
string(REGEX REPLACE "^/" "" _kestrova_staged_prefix "${CPACK_PACKAGING_INSTALL_PREFIX}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${_kestrova_staged_prefix}/${KESTROVA_INSTALL_PROGRAM_DIR})
# The window fits small screens through Qt's private scaling interface, so it
# needs exactly the Qt it was built with: dpkg-shlibdeps adds qt6-base-abi
# for the private symbols it uses.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "adb, usbmuxd, android-sdk-platform-tools-common, fonts-lato")
# The Help and About pages open in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
