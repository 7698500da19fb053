# The Debian package, made from the build folder by "cpack -G DEB". It holds
# what "cmake --install" lays out under /usr. Its library dependencies are
# read from the programs by dpkg-shlibdeps; Qt's platform plugins are loaded
# at run time, so no linker sees them and they are declared here.
set(CORVANE_PACKAGE_MAINTAINER "Corvane maintainers <maintainers@corvane.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR Tamberlo)
set(CPACK_PACKAGE_CONTACT ${CORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Group mailer with a scheduled-send agent")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Corvane 98 keeps groups of recipients and sends one message to every"
    "member of a group through an SMTP server, with progress, cancel and"
    "resume. Its agent Ostrel98 sends saved messages at the time set in the"
    "mailer's schedule. Each user's settings, address book and messages are"
    "kept in ~/.local/share/corvane.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme")
include(CPack)
