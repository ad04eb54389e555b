# Installing. The program folder is <prefix>/lib/tolva: the executable and
# what it opens beside it. Its settings file is written there too, so the
# folder remembers the last station only where its user may write to it.
# Around it: a launcher in bin, the desktop entry, the icons and the metainfo.
set(program_dir lib/tolva)
set(desktop_dir ${CMAKE_CURRENT_SOURCE_DIR}/resources/desktop)

install(TARGETS tolva RUNTIME DESTINATION ${program_dir})
# The player's engine and the advertisement panel's browser, which the program
# loads from its folder.
install(TARGETS tolva_engine tolva_ad_browser LIBRARY DESTINATION ${program_dir})
install(FILES resources/Справка.html DESTINATION ${program_dir})

# The launcher links to the executable, which finds its folder through the link.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ../${program_dir}/tolva ${CMAKE_BINARY_DIR}/launcher/tolva SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/launcher/tolva DESTINATION bin)

# The entry names the launcher by its full path, which is known only now.
install(CODE "set(desktop_in \"${desktop_dir}/app.desktop.in\")
set(desktop_file \"share/applications/${TOLVA_APP_ID}.desktop\")")
install(CODE [[
  set(TOLVA_LAUNCHER "${CMAKE_INSTALL_PREFIX}/bin/tolva")
  set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${desktop_file}")
  message(STATUS "Installing: ${entry}")
  configure_file("${desktop_in}" "${entry}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
]])

configure_file(${desktop_dir}/app.metainfo.xml.in ${CMAKE_BINARY_DIR}/desktop/${TOLVA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${TOLVA_APP_ID}.metainfo.xml DESTINATION share/metainfo)

foreach(size 16 22 24 32 48 64 128 256)
  install(FILES resources/icons/tolva-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
    RENAME tolva.png)
endforeach()
install(FILES resources/icons/tolva.svg DESTINATION share/icons/hicolor/scalable/apps)

# cpack -G DEB: a package for Debian 12. Libraries come from the linked
# binaries; the rest is what the program loads at run time.
set(CPACK_PACKAGE_NAME tolva)
set(CPACK_PACKAGE_VENDOR "Tolva")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Internet radio receiver for Moscow and Saint Petersburg stations")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tolva maintainers <maintainers@tolva.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, libtotem-plparser18, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, gstreamer1.0-pulseaudio, gstreamer1.0-alsa, fonts-dejavu-core, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
