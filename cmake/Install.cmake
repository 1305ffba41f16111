# What `cmake --install` puts where, and the packages `cpack` makes from it: a Debian
# package on Linux, a .zip from the Windows build.

if(WIN32)
  # The program, the README and the LICENSE side by side: the program writes its
  # configuration file beside itself, so the folder it lands in is all it needs.
  install(TARGETS lexiform RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
else()
  include(GNUInstallDirs)
  install(TARGETS lexiform)
  # The manual page, with the version filled in.
  configure_file(doc/lexiform.1.in ${CMAKE_CURRENT_BINARY_DIR}/lexiform.1 @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lexiform.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lexiform)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/lexiform
          RENAME copyright)
endif()

set(CPACK_PACKAGE_NAME lexiform)
set(CPACK_PACKAGE_VENDOR "The Lexiform developers")
set(CPACK_PACKAGE_CONTACT "The Lexiform developers <lexiform@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turns Pascal sources into one syntax-highlighted HTML document")
set(CPACK_PACKAGE_HOMEPAGE_URL "http://lexiform.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  # The libraries the program links, found by dpkg-shlibdeps (package dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
