# The Debian package, made by CPack (scripts/package): everything `cmake --install`
# puts under the prefix, installed under /usr. dpkg-shlibdeps computes the libraries the
# programs need; what they load at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvandel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(ORVANDEL_MAINTAINER "The Orvandel developers <orvandel@example.org>" CACHE STRING
    "The Debian package's maintainer, \"Name <address>\"")
set(CPACK_PACKAGE_CONTACT ${ORVANDEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANDEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded or read at run time, not linked: Qt's platform plugins (the window on X11 and
# Wayland), the icon theme's description (without it Qt finds no icon of the theme), the
# zone map's font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, hicolor-icon-theme, fonts-dejavu-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fly over the zones of an online role-playing game")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Orvandel opens a zone of the game installed on this computer (for example
under Wine) and lets you fly over it in real time: the terrain built from the
zone's heightmaps and textured with its tiles, its rivers and lakes, a sky and
a compass, drawn by one of four terrain renderers.
.
The package also holds orvandel-tool, a command-line companion that lists and
extracts the game's archives, converts its images to PNG, prints a zone's maps
and draws a zone without a window, and orvandel-mkgame, which writes a small
sample game.")
include(CPack)
