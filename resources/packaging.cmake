# Installing Ortelis on a system, and its Debian package.
#
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
#
# The viewer runs the solver found beside itself, so both go to the same
# folder; so do the indexer (which runs it with --solve) and the demo.
include(GNUInstallDirs)

install(TARGETS ortelis ca ortelis-index ortelis-demo
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/ortelis.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/images/ca_icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME ortelis.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/images/ca_icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ortelis.svg)
install(FILES ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The manual, the file formats and the architecture the README links to.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md")

set(CPACK_PACKAGE_NAME ortelis)
set(CPACK_PACKAGE_VENDOR "Ortelis developers")
set(CPACK_PACKAGE_CONTACT "Ortelis developers <ortelis@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Viewer for the Correspondence Analysis of image collections described by visual words")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# Shared libraries the programs link (Qt, OpenCV, libpng, ...) become
# dependencies through dpkg-shlibdeps; Qt's plug-ins are loaded at run time
# and are named here: the window-system platforms and the picture formats
# beyond PNG and JPEG.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins")
include(CPack)
