# The Debian package: `cpack -G DEB` in the build folder makes
# qorv_<version>_<arch>.deb from what cmake/QorvInstall.cmake installs.
# dpkg-shlibdeps (dpkg-dev) works out the libraries the binary links (ALSA,
# libvorbis and libebur128 for the previews among them); the
# package adds what the program needs at run time that the linker never sees.
# Debian's own triggers (shared-mime-info, desktop-file-utils,
# hicolor-icon-theme) register the file types, the desktop entry and the
# icons when the package installs files under share/.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qorv)
set(CPACK_PACKAGE_VENDOR "The Qorv developers")
set(CPACK_PACKAGE_CONTACT "The Qorv developers <dev@qorv.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and librarian for the Roland Juno-106 synthesizer")
# Wrapped by hand: each line becomes one line of the control file's Description.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Qorv shapes a Juno-106 sound on a panel laid out like the instrument's own"
    "and sends every move to the synthesizer at once as a patch dump. It keeps"
    "sounds in named libraries (.106 files), pulls patches from the synthesizer"
    "over MIDI through the ALSA sequencer, trades them as SysEx (.syx) files and"
    "imports Juno Editor Preset (.jep) files.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://qorv.org")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: JUCE opens the X
# libraries with dlopen (X11 and Xext to start at all; Xcursor, Xinerama and
# Xrandr for cursors and the monitors' layout and scale) and finds its fonts
# through fontconfig's fonts.conf, and the file dialogs are zenity.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libx11-6, libxext6, fontconfig-config, fonts-dejavu-core, zenity")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libxcursor1, libxinerama1, libxrandr2")

include(CPack)
