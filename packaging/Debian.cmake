# `make package`: one Debian package, brisklet_VERSION-BUILD_ARCH.deb, holding everything `cmake --install`
# installs, laid out under /usr. This file is what the update feed publishes (README, docs/packaging.md).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brisklet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Brisklet developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reclaim disk space and look after the machine")
# The build number is the Debian revision: the feed offers a release because its build number is
# higher, so its package must be a higher version too, or apt and software centres would keep the
# installed one ("already the newest version") and the offer would come back at every check.
if(NOT BRISKLET_BUILD_NUMBER MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "BRISKLET_BUILD_NUMBER must be a whole number of at least 1 (got '${BRISKLET_BUILD_NUMBER}')")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${BRISKLET_BUILD_NUMBER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Brisklet developers <feedback@brisklet.io>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brisklet.io/")
# The summary above is the first line; this is the long text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brisklet shows where disk space goes (treemap, sunburst and outline), cleans
regenerable caches, logs and developer data, removes applications with their
leftover files, and lists processes and listening ports. Nothing is deleted
outright: removals go to the Trash after a review, are checked against
protected locations, are written to an audit log and can be put back.
.
The package holds the desktop program brisklet, the command-line tool
brisklet-cli and the engine library both use.")
set(CPACK_STRIP_FILES ON)

# Libraries are found by dpkg-shlibdeps (dpkg-dev); the rest is what the programs need at run time
# that no library names: procps for /bin/ps. Listening sockets are read from the kernel, so lsof is not
# needed. The X11 and offscreen platform plugins come with libqt6gui6, the SVG icon and image plugins
# with libqt6svg6.
find_program(BRISKLET_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(runtime_tools "procps")
if(BRISKLET_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${runtime_tools}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libqt6core6, libqt6gui6, libqt6widgets6, \
libqt6svg6, libqt6dbus6, libcurl4, libssl3, libicu72, libplist3, libmount1, libblkid1, libsqlite3-0, ${runtime_tools}")
endif()
# Wayland sessions, opening links and the downloaded update, following the desktop's colour scheme.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils, xdg-desktop-portal")

include(CPack)
