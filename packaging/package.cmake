# Installing the program and making its Debian package:
#   cmake --build BUILD --target package   ->  BUILD/corvane_<version>_amd64.deb
# Installed with GNUInstallDirs: the viewer in bin/, its sample picture in
# share/corvane/, the manual page, a desktop entry that starts the viewer in
# the sample picture's folder, the icon (SVG, and PNGs drawn from it by
# tools/make_icon) and the copyright in Debian's machine-readable format.
if(NOT TARGET corvane)
  return()
endif()
include(GNUInstallDirs)
set(PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The manual page and the changelog compressed as Debian has them, without a
# time stamp (gzip -n), and the icon's PNGs.
set(PACKAGE_FILES)
file(MAKE_DIRECTORY ${PACKAGING_OUT}/icons/48x48 ${PACKAGING_OUT}/icons/256x256)
foreach(file corvane.1 changelog)
  add_custom_command(OUTPUT ${PACKAGING_OUT}/${file}.gz
                     COMMAND sh -c "gzip -9nc '${PACKAGING_DIR}/${file}' > '${PACKAGING_OUT}/${file}.gz'"
                     DEPENDS ${PACKAGING_DIR}/${file} VERBATIM)
  list(APPEND PACKAGE_FILES ${PACKAGING_OUT}/${file}.gz)
endforeach()
foreach(size 48 256)
  set(png ${PACKAGING_OUT}/icons/${size}x${size}/corvane.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND make_icon ${PACKAGING_DIR}/corvane.svg ${png} ${size}
                     DEPENDS make_icon ${PACKAGING_DIR}/corvane.svg VERBATIM)
  list(APPEND PACKAGE_FILES ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(corvane_package_files ALL DEPENDS ${PACKAGE_FILES})

install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/assets/intro.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)
install(FILES ${PACKAGING_OUT}/corvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PACKAGING_DIR}/corvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
set(DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane)
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_OUT}/changelog.gz DESTINATION ${DOC_DIR})
# The desktop entry names the picture's folder under the prefix installed to,
# which is known only when installing: /usr for the package, /usr/local (or
# another) for cmake --install.
install(CODE "
  set(CORVANE_PICTURE_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/corvane\")
  set(entry \"${PACKAGING_OUT}/desktop\${CMAKE_INSTALL_PREFIX}/corvane.desktop\")
  configure_file(\"${PACKAGING_DIR}/corvane.desktop.in\" \"\${entry}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" TYPE FILE
       FILES \"\${entry}\")
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen bitmap viewer with live colour effects")
# The first line of Description is the summary above; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvane shows one picture, intro.bmp from the folder it is started in,
full-screen on a 640 by 480 display, zoomable from 10 % to 1600 %, inside a
red frame with a zoom line and keyboard help. Single key presses turn it to
grayscale, invert it, brighten or darken it, or add or remove red, green or
blue, until W reloads it from its file.
.
The program is written for Windows and DirectX 7 and runs here on a platform
layer of its own, presented through SDL2. A sample picture comes with it.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Corvane maintainers <maintainers@users.noreply.c-seed-cd1900c6.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: what dpkg-shlibdeps finds for the libraries linked, and the font
# the program's text is drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-liberation)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
