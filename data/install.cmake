# What `cmake --install` puts where (GNUInstallDirs: any prefix, DESTDIR respected), and the
# Debian package that CPack makes of the same files. Included by the top-level CMakeLists.txt,
# in its scope, once the program's target exists.
include(GNUInstallDirs)

# The reverse-DNS name of the web address in the About box: the desktop entry's, the icon's and
# the metadata's name.
set(QUILLET_ID org.example.quillet)

# The metadata's releases and the changelog's newest entry name this version.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}.metainfo.xml ${CMAKE_CURRENT_LIST_DIR}/changelog)
file(READ ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}.metainfo.xml metainfo)
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog changelog_top LIMIT_COUNT 1)
string(FIND "${metainfo}" "<release version=\"${PROJECT_VERSION}\"" release_at)
if(release_at EQUAL -1 OR NOT changelog_top MATCHES "^quillet \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/: the metainfo's <releases> and the changelog's newest entry must "
    "name version ${PROJECT_VERSION}")
endif()

# The icon's PNG renderings are made from its SVG at build time; the 16-pixel one from an SVG
# drawn for that size on whole pixels (the large one blurs there). Run from its build folder, the
# program finds them among its own resources.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icon_svg ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}.svg)
set(icon_pngs)
foreach(size 16 32 48 64 128 256)
  set(icon_dir icons/hicolor/${size}x${size}/apps)
  set(icon_png ${CMAKE_CURRENT_BINARY_DIR}/${icon_dir}/${QUILLET_ID}.png)
  set(icon_source ${icon_svg})
  if(size EQUAL 16)
    set(icon_source ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}-16.svg)
  endif()
  add_custom_command(OUTPUT ${icon_png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/${icon_dir}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${icon_png} ${icon_source}
    DEPENDS ${icon_source} VERBATIM)
  set_source_files_properties(${icon_png}
    PROPERTIES QT_RESOURCE_ALIAS ${icon_dir}/${QUILLET_ID}.png)
  list(APPEND icon_pngs ${icon_png})
  install(FILES ${icon_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/${icon_dir})
endforeach()
qt_add_resources(quillet quillet_icons PREFIX / FILES ${icon_pngs})

# Manual pages are installed compressed, as Debian's are.
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillet.6.in ${CMAKE_CURRENT_BINARY_DIR}/quillet.6 @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/quillet.6.gz
  COMMAND gzip -9nkf ${CMAKE_CURRENT_BINARY_DIR}/quillet.6
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quillet.6 VERBATIM)
# The changelog too; a native package's is changelog.gz.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(quillet_manual ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quillet.6.gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)

# A game's program goes to <prefix>/games (/usr/games), as Debian's policy has it; its manual is
# in section 6, and the desktop entry starts it by name, from the PATH that has /usr/games.
install(TARGETS quillet RUNTIME DESTINATION games)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${QUILLET_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillet.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet)

# cpack -G DEB in the build folder: quillet_<version>_<arch>.deb there, for /usr, stripped, with
# its dependencies found by dpkg-shlibdeps from the executable's libraries. On a Wayland-only
# session Qt needs its Wayland platform plugin, which is a package of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "the Quillet authors")
set(CPACK_PACKAGE_CONTACT "the Quillet authors <quillet@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION [[
Five in a row of X and O on a board of 15 by 15 cells, for two players
who share one machine or play between two copies of the program over TCP
port 1777, with a small chat.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Avahi client library comes with the dependencies above; its daemon, which finds the players
# nearby, is what desktops run, and the game plays without it. Wayland sessions need Qt's plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, avahi-daemon")
include(CPack)
