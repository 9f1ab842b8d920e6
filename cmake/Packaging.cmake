# Installing (cmake --install) and the Debian package (scripts/package).
# The package's dependencies are computed from the binaries by dpkg-shlibdeps.

install(TARGETS teloria2 teloria2-launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Development tools, kept out of every user's PATH.
install(TARGETS teloria2-adapter-sim teloria2-number-sim RUNTIME DESTINATION lib/teloria2)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME teloria2)
set(CPACK_PACKAGE_VENDOR Teloria)
set(CPACK_PACKAGE_CONTACT "Teloria <support@teloria.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "caller ID and call history for the Mirel KT5 adapter")
set(CPACK_PACKAGE_DESCRIPTION "\
Teloria II shows who is calling on a telephone line with a Mirel KT5 caller-ID
adapter (a USB serial port), records every call in a history, keeps a phone
book and can start a command for a caller. It lives in the system tray with a
Japanese user interface. On desktops without a tray its windows are reached
through the application menu and its messages come as notifications.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://teloria.example/)
# Not libraries the binaries link: the Japanese glyphs of the windows, Qt's
# own texts in Japanese (file dialogs, buttons), the desktop's file dialog on
# GTK desktops, and Qt's platform for Wayland sessions without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, qt6-gtk-platformtheme, qt6-wayland")
# Dates in the package: the changelog's (reproducible packages).
set(changelog ${CMAKE_SOURCE_DIR}/data/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
execute_process(COMMAND dpkg-parsechangelog -l ${changelog} -S Timestamp
  OUTPUT_VARIABLE TELORIA_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CMAKE_SOURCE_DIR}/cmake/CPackProject.cmake.in ${CMAKE_BINARY_DIR}/CPackProject.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProject.cmake)
include(CPack)
