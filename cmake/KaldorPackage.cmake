# The Debian package: `cmake --build build --target package` packs what `install` puts in place
# (kaldor, kaldorctl, kaldor-sim, their manual pages, kaldorctl's bash completion, the desktop
# entry, the AppStream metainfo, the file types, the icon, the copyright and the changelog) into
# kaldor_VERSION_ARCH.deb.
# The run-time dependencies come from dpkg-shlibdeps (package dpkg-dev; CPack finds the programs
# with `file`), which reads the libraries the programs link; without them the package names the
# Qt packages itself.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kaldor)
set(CPACK_PACKAGE_VENDOR "KALDOR")
set(CPACK_PACKAGE_CONTACT "KALDOR maintainers <kaldor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# The long description as dpkg shows it: lines of at most 80 characters, " ." between paragraphs.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "The technician's tool for a tank-level indicator, the instrument that turns a"
  "level reading into a value through one curve per tank. Over a serial line it"
  "reads the indicator's memory image, writes it back, sends one tank's curve,"
  "clears the indicator and presses its keys remotely. On the desk it edits,"
  "checks, graphs and files curves, makes them from a tank's shape or strapping"
  "table, builds and browses whole images and prints calibration sheets."
  "."
  "kaldorctl does the same from a script; kaldor-sim serves a simulated indicator"
  "on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

find_program(KALDOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(KALDOR_FILE file)
if(KALDOR_DPKG_SHLIBDEPS AND KALDOR_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(depends "libc6" "libstdc++6" "libqt6core6 (>= 6.4)" "libqt6serialport6 (>= 6.4)"
              "libgensio4 (>= 2.6)")
  if(KALDOR_BUILD_GUI)
    list(APPEND depends "libqt6gui6 (>= 6.4)" "libqt6widgets6 (>= 6.4)" "libqt6charts6 (>= 6.4)")
  endif()
  list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()

include(CPack)
