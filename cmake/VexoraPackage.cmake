# The Debian package (`make package`, or `cpack -G DEB` in a build folder): the install rules
# under /usr, with the runtime dependencies spelled out. They are listed by hand rather than
# computed, so a sanitizer build packages the same list; the packaging test checks that every
# library the programs link is provided by a package named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexora)
set(CPACK_PACKAGE_VENDOR Tolvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tolvane <vexora@tolvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "course material preparation and upload client")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Prepares course material and uploads it to an organisation's e-learning space.\n"
       "Probes and converts audio and video into FLV with ffmpeg, mencoder and flvmeta, and\n"
       "uploads everything, resumable, to the fastest of the platform's file servers.\n"
       "Includes the window program VexoraV2, the command-line companion vexora and the\n"
       "local platform simulator vexora-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(vx_deb_depends
    "ffmpeg" "mencoder" "flvmeta" "libmediainfo0v5"
    "libsqlite3-0 (>= 3.8)" "libjsoncpp25" "libssl3"
    "libc6 (>= 2.34)" "libstdc++6 (>= 12)" "libgcc-s1")
# vexora-sim serves HTTP with the shared cpp-httplib library, whose package name carries its
# major.minor version (libcpp-httplib0.11 on Debian 12).
pkg_check_modules(VX_PKG_HTTPLIB QUIET cpp-httplib)
if(VX_PKG_HTTPLIB_VERSION MATCHES "^([0-9]+\\.[0-9]+)")
    list(APPEND vx_deb_depends "libcpp-httplib${CMAKE_MATCH_1}")
endif()
if(VX_UI)
    list(APPEND vx_deb_depends "libqt6widgets6 (>= 6.4)" "libqt6gui6 (>= 6.4)" "libqt6core6 (>= 6.4)"
         "libqt6dbus6 (>= 6.4)" "libqt6network6 (>= 6.4)"
         # Qt's own dialogs (file picker, standard buttons) in the program's language.
         "qt6-translations-l10n"
         # The windows' icons are SVG: Qt's SVG image and icon plugins draw them at any scale.
         "libqt6svg6 (>= 6.4)")
endif()
# Remembered passwords live in the desktop's Secret Service.
if(TARGET vx_secret)
    list(APPEND vx_deb_depends "libsecret-1-0")
endif()
# The keep-awake request goes to logind over the system bus.
if(TARGET vx_platform)
    list(APPEND vx_deb_depends "libsystemd0")
endif()
list(JOIN vx_deb_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Chinese texts need a font that has them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")

include(CPack)
