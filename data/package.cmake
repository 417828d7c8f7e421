# The Debian package (`make deb`, which builds with Debian's hardening flags).
# CPack makes it by running the install rules into a folder of its own, so the
# package holds exactly what `make install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillrace)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillrace developers <support@quillrace.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "typing speed and accuracy tester")
# The extended description, in lines as the package shows them.
set(CPACK_PACKAGE_DESCRIPTION "\
Quillrace shows a short story and times you while you type it. The clock
starts with your first keystroke; when you stop, it shows how many words you
typed, how many were correct and how many wrong, your accuracy and your words
per minute, above your text with every mistaken word marked in red.

The stories come from a small library that each user of the machine keeps,
extends and edits for themselves.")
# The install steps write under DESTDIR and see the prefix the package installs
# to, so the desktop entry starts /usr/bin/quillrace rather than a path in the
# build.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
