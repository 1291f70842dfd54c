# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in the build folder makes a Debian package of the installed tree.
set(CPACK_PACKAGE_NAME kvorn)
set(CPACK_PACKAGE_VENDOR "K-Vorn")
set(CPACK_PACKAGE_CONTACT "K-Vorn developers <developers@kvorn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "closes browser popups, filters spam mail, blocks banners")
set(CPACK_PACKAGE_DESCRIPTION
    "K-Vorn sits in the system tray and screens unwanted Internet content:\n"
    "a popup killer closes the browser windows a black list covers, a mail\n"
    "filter marks and deletes spam in POP3 mailboxes, and a banner blocker\n"
    "writes advertising servers into a hosts file.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
# Installed under the package's prefix as the real prefix (staged through DESTDIR), so that
# the files naming installed paths (desktop entry, polkit action) name the real ones.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Debian revision counts packagings of one upstream version (doc/changelog.Debian.in).
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KVORN_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The libraries come from what the binaries link (dpkg-shlibdeps); the rest is what a part
# of the program starts or reads at run time: pkexec for the system hosts file, the CA
# certificates for mail over TLS, Qt's Wayland platform so that a Wayland desktop runs the
# program as a Wayland client rather than through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec, ca-certificates, qt6-wayland")
include(CPack)
