# What an installed ZORVIK consists of, and its Debian package. Only the two
# programs (and the command-line one's Qt module) are installed: tests,
# benchmark, fuzzers and build helpers are not.
#   make install PREFIX=/usr/local DESTDIR=/tmp/stage
#   make package     -> build/zorvik_<version>_<arch>.deb
install(TARGETS zorvik zorvik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The module by which zorvik-cli reads pictures with Qt, where it looks for it
# relative to its own folder (platform/CMakeLists.txt).
install(TARGETS zorvik_qt_pictures_module LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zorvik)

# Help, sound and translations in the data folder, where the programs look after their own
# folder (platform/DataFolder.h).
set(ZORVIK_DATA_DIR ${CMAKE_INSTALL_DATADIR}/zorvik)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${ZORVIK_DATA_DIR}/help)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/camera.wav DESTINATION ${ZORVIK_DATA_DIR})
# The interface's translations (English; the Japanese texts are the source).
install(FILES ${ZORVIK_TRANSLATIONS} DESTINATION ${ZORVIK_DATA_DIR}/translations)

# The desktop's view of the program, all named by the application id.
install(FILES ${PROJECT_SOURCE_DIR}/resources/${ZORVIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${ZORVIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${ZORVIK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${ZORVIK_ICON_SIZES})
    install(FILES ${ZORVIK_ICONS_DIR}/${size}/${ZORVIK_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

install(FILES ${PROJECT_BINARY_DIR}/resources/man/zorvik.1.gz
              ${PROJECT_BINARY_DIR}/resources/man/zorvik-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorvik)

# The Debian package: the libraries' packages computed by dpkg-shlibdeps,
# plus what the programs load at run time and shlibdeps cannot see: Qt's
# Wayland plugin, Qt's own translations, and a font with Japanese glyphs.
# No maintainer scripts: dpkg's triggers refresh the icon, desktop and
# manual caches, so removing the package leaves nothing behind.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ZORVIK developers")
set(CPACK_PACKAGE_CONTACT "The ZORVIK developers <zorvik@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read QR Code symbols from pictures on the screen")
set(CPACK_PACKAGE_DESCRIPTION "ZORVIK captures the active window or the whole desktop, or takes a
pasted or opened picture, outlines every QR Code symbol in it and decodes
the one clicked: its text, version, error-correction level, mask and error
rate. zorvik-cli decodes picture files from the command line, with JSON
output.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/zorvik/zorvik)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-wayland, qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
