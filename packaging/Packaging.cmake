# Installation (cmake --install) and the Debian package (cpack -G DEB): the program, its manual
# page, the HTML manual, the loadable modules and, with the window, a desktop entry and an icon.
include(GNUInstallDirs)

install(TARGETS tarnwell RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The modules the program loads when it needs them: text recognition and the window. The
# program finds them here relative to itself (app/CMakeLists.txt computes the same path).
install(TARGETS tarnwell_ocr_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarnwell)
if(TARNWELL_UI)
  install(TARGETS tarnwell_window_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarnwell)
endif()

# The manual page carries the project's version; Debian wants it compressed.
set(TARNWELL_MAN_PAGE ${CMAKE_BINARY_DIR}/tarnwell.1)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnwell.1.in ${TARNWELL_MAN_PAGE} @ONLY)
find_program(TARNWELL_GZIP gzip)
if(TARNWELL_GZIP)
  add_custom_command(OUTPUT ${TARNWELL_MAN_PAGE}.gz
    COMMAND ${TARNWELL_GZIP} -9 -n -c ${TARNWELL_MAN_PAGE} > ${TARNWELL_MAN_PAGE}.gz
    DEPENDS ${TARNWELL_MAN_PAGE}
    COMMENT "Compressing the manual page")
  add_custom_target(tarnwell_man_page ALL DEPENDS ${TARNWELL_MAN_PAGE}.gz)
  install(FILES ${TARNWELL_MAN_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${TARNWELL_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The HTML manual (the README and the manual page in one page), written beside the program so
# Help finds it in the build tree, and installed in the data directory, where Help finds it
# relative to the installed program. Needs cmark and groff (scripts/setup.sh installs them).
find_program(TARNWELL_CMARK cmark)
find_program(TARNWELL_GROFF groff)
if(TARNWELL_CMARK AND TARNWELL_GROFF)
  set(TARNWELL_MANUAL ${CMAKE_BINARY_DIR}/tarnwell.html)
  add_custom_command(OUTPUT ${TARNWELL_MANUAL}
    COMMAND ${CMAKE_COMMAND} -DCMARK=${TARNWELL_CMARK} -DGROFF=${TARNWELL_GROFF}
            -DREADME=${PROJECT_SOURCE_DIR}/README.md -DMAN_PAGE=${TARNWELL_MAN_PAGE}
            -DVERSION=${PROJECT_VERSION} -DOUTPUT=${TARNWELL_MANUAL}
            -P ${CMAKE_CURRENT_LIST_DIR}/manual.cmake
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md ${TARNWELL_MAN_PAGE}
            ${CMAKE_CURRENT_LIST_DIR}/manual.cmake
    COMMENT "Writing the HTML manual")
  add_custom_target(tarnwell_manual ALL DEPENDS ${TARNWELL_MANUAL})
  install(FILES ${TARNWELL_MANUAL} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwell)
else()
  message(WARNING "cmark or groff not found: no HTML manual, Help has nothing to open")
endif()

if(TARNWELL_UI)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tarnwell.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/tarnwell.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_PACKAGE_NAME tarnwell)
set(CPACK_PACKAGE_VENDOR "Tarnwell")
set(CPACK_PACKAGE_CONTACT "Tarnwell maintainers <tarnwell@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter from received fax files to PDF")
set(CPACK_PACKAGE_DESCRIPTION "\
Tarnwell turns received fax documents (raw Group 3/Group 4 streams, TIFF fax
files and several proprietary fax containers) into PDF files, one page per fax
page, each page a Group 4 compressed bilevel image. It converts single files or
whole directory trees from the command line, or from its window.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are computed from the installed program (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# /ocr recognises English with this data; other languages are their own tesseract-ocr-* packages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-eng")
set(CPACK_GENERATOR DEB)
include(CPack)
