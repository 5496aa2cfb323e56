# `make package` (the package target) builds a Debian package of what `cmake --install`
# installs, under /usr. dpkg-shlibdeps finds the libraries the programs link; the fonts
# the windows are drawn in and Qt's platform plugins are loaded at run time, so they are
# named by hand. The desktop's databases (menus, MIME types, icons, manual pages) are
# brought up to date by their own packages' triggers: no maintainer scripts are needed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME loopwren)
set(CPACK_PACKAGE_VENDOR "The LoopWren developers")
set(CPACK_PACKAGE_CONTACT "The LoopWren developers <developers@loopwren.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "three-channel, 16-step sample groovebox")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "LoopWren is a small desktop groovebox: a three-channel, 16-step sample"
  "sequencer for drum and loop tracks. A song holds 8 banks of 8 patterns; every"
  "step can start a sample and carry its own controllers. A master section adds"
  "a tempo-synced delay, overdrive, a vinyl-noise bed and shuffle, and a song"
  "sequence chains the patterns into a song. Songs render to WAV, in the program"
  "or with the loopwren-render command.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://loopwren.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-dejavu-extra, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
