# `cmake --install` lays out the program as a desktop installs it:
#   bin/vexoplayer
#   share/vexoplayer/{language,Skins,help,VexoPlayer.skn}  (found by ../share/vexoplayer)
#   share/applications/vexoplayer.desktop
#   share/icons/hicolor/{scalable,48x48,128x128}/apps/vexoplayer.{svg,png}
# and `cpack -G DEB` packs the same tree. The developer tools and tests are not installed.
# The folder names are fixed: the executable looks for its files at exactly these places.
install(TARGETS vexoplayer RUNTIME DESTINATION bin)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/language ${CMAKE_SOURCE_DIR}/resources/Skins
  ${CMAKE_SOURCE_DIR}/resources/help
  DESTINATION share/vexoplayer
  PATTERN ".keep" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/resources/VexoPlayer.skn DESTINATION share/vexoplayer)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vexoplayer.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/vexoplayer.svg
  DESTINATION share/icons/hicolor/scalable/apps)
foreach(size IN ITEMS 48 128)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/vexoplayer-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vexoplayer.png)
endforeach()

# The FFmpeg libraries are opened at run time, so the package tools cannot see
# them in the executable: their packages are named from the files the headers'
# generation loads, as the system's package database knows them.
set(VEXO_RUNTIME_PACKAGES "")
find_program(VEXO_DPKG dpkg)
foreach(lib IN ITEMS libavformat libavcodec libavutil libswresample libswscale)
  string(REGEX MATCH "^[0-9]+" major "${FFMPEG_HEADERS_${lib}_VERSION}")
  set(file "${FFMPEG_HEADERS_${lib}_LIBDIR}/${lib}.so.${major}")
  set(package "")
  if(VEXO_DPKG AND EXISTS "${file}")
    execute_process(COMMAND ${VEXO_DPKG} -S "${file}" OUTPUT_VARIABLE owner
      RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0)
      string(REGEX MATCH "^[^:,]+" package "${owner}")
    endif()
  endif()
  if(NOT package)
    # Debian names a library's package after its soname.
    set(package "${lib}${major}")
  endif()
  list(APPEND VEXO_RUNTIME_PACKAGES ${package})
endforeach()
# Qt loads its SVG icon engine as a plug-in: our icons are SVG.
list(APPEND VEXO_RUNTIME_PACKAGES libqt6svg6)
list(JOIN VEXO_RUNTIME_PACKAGES ", " VEXO_RUNTIME_DEPENDS)
# On a Wayland desktop the player runs as a native client through this plug-in;
# without it Qt falls back to X11 through XWayland, which still works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vexoplayer)
set(CPACK_PACKAGE_VENDOR "Korvane Group")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Media player for videos, photos and playlists")
set(CPACK_PACKAGE_DESCRIPTION "Vexo Player plays video files and JPEG photos from a folder browser, \
plays folders and playlists as one continuous timeline, and saves playlists as .asx files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(VEXO_PACKAGE_MAINTAINER "Korvane Group" CACHE STRING "Maintainer named in the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VEXO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries the executable links are read from it and mapped to their packages.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VEXO_RUNTIME_DEPENDS}")
include(CPack)
