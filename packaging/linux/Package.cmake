# The Debian package: `cpack -G DEB` in a build folder (scripts/package does it) packs what cmake --install puts
# under /usr into brindlex_VERSION_ARCH.deb. Its dependencies are computed from the programs by dpkg-shlibdeps,
# never listed by hand.
set(BRINDLEX_PACKAGE_MAINTAINER "BrindleX developers <brindlex@example.org>" CACHE STRING
  "The Maintainer of the Debian package: a name and an address")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlex)
set(CPACK_PACKAGE_VENDOR "the BrindleX developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)   # brindlex_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BRINDLEX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The browser-control script asks xdg-settings for the desktop's default browser, and reads mimeapps.list itself
# without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "see and tidy the RSS feeds a web browser keeps
BrindleX manages the RSS feeds that a web browser keeps in its syndication
database. It lists every feed with its article and unread counts, marks feeds
read or unread, deletes a feed (and restarts the browser so that it fetches the
feed again) or the whole database, and shows the unread total on its icon.
.
The command-line companion brindlexctl works on the same database without a
window, and exports the feeds as OPML for other feed readers.")
# Directories 0755 and control files as dpkg-deb makes them, whatever the umask of the one who packs.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
