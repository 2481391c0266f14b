# What `cmake --install` puts under the prefix, and the .deb that cpack makes
# of the same files.  Programs find their data relative to their own path
# (PREFIX/games/NAME reads PREFIX/share/zorvoquib), so nothing here bakes a
# path into a program and a moved install keeps working.
#
# Installed, the programs carry names of their own so that no other package
# can take them: game_soft is zorvoquib, game_gl zorvoquib-gl, leveleditor
# zorvoquib-editor and zqtool zorvoquib-tool, in PREFIX/games.
include(GNUInstallDirs)

set(ZQ_APP_ID org.zorvoquib.game)
set(ZQ_EDITOR_ID org.zorvoquib.editor)
set(ZQ_INSTALL_PROGRAMDIR games CACHE STRING "Folder under the prefix the programs go to")
set(ZQ_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zorvoquib)

set(ZQ_INSTALLED_game_soft zorvoquib)
set(ZQ_INSTALLED_game_gl zorvoquib-gl)
set(ZQ_INSTALLED_leveleditor zorvoquib-editor)
set(ZQ_INSTALLED_zqtool zorvoquib-tool)

# Each program's manual page, written by the program itself from the option
# table its --help shows, compressed as Debian wants it.
set(ZQ_MAN_PAGES "")
foreach(program game_soft game_gl leveleditor zqtool)
  if(TARGET ${program})
    set(installed ${ZQ_INSTALLED_${program}})
    install(PROGRAMS $<TARGET_FILE:${program}> DESTINATION ${ZQ_INSTALL_PROGRAMDIR} RENAME ${installed})
    # Renamed programs are not install(TARGETS), so `--strip` and cpack's
    # CPACK_STRIP_FILES reach them only through this.
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment --remove-section=.note
                      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${ZQ_INSTALL_PROGRAMDIR}/${installed}\")
    endif()")
    set(page ${PROJECT_BINARY_DIR}/man/${installed}.6.gz)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
              $<TARGET_FILE:${program}> --man-page > ${PROJECT_BINARY_DIR}/man/${installed}.6
      COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/man/${installed}.6
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${installed}")
    list(APPEND ZQ_MAN_PAGES ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  endif()
endforeach()
add_custom_target(man_pages ALL DEPENDS ${ZQ_MAN_PAGES})

if(TARGET content)
  # The blend-table cache (.POT) is made here, by the game loading the bank
  # once, and installed with the data: the installed game then never writes
  # into its data folder, and removing the package leaves nothing behind.
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/cache.stamp
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 SDL_AUDIODRIVER=dummy
            $<TARGET_FILE:game_soft> --data ${PROJECT_BINARY_DIR}/data --headless --frames 1
    COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/cache.stamp
    DEPENDS ${PROJECT_BINARY_DIR}/data.stamp game_soft
    COMMENT "Building the blend-table cache of the default data")
  add_custom_target(content_cache ALL DEPENDS ${PROJECT_BINARY_DIR}/cache.stamp)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvoquib)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# The menu entry starts the software-drawn game; the OpenGL one is an action of it.
if(TARGET game_gl)
  set(ZQ_DESKTOP_ACTIONS "Actions=opengl;\n\n[Desktop Action opengl]\nName=Zorvo Quib (OpenGL)\nExec=zorvoquib-gl\n")
else()
  set(ZQ_DESKTOP_ACTIONS "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/dist/${ZQ_APP_ID}.desktop.in ${PROJECT_BINARY_DIR}/dist/${ZQ_APP_ID}.desktop @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/dist/${ZQ_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/${ZQ_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
if(TARGET leveleditor)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/${ZQ_EDITOR_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/${ZQ_EDITOR_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # Level files (*.lev) are known to the desktop and open in the editor.
  install(FILES ${PROJECT_SOURCE_DIR}/dist/zorvoquib-level.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME zorvoquib.xml)
endif()

# The licence and the package's history, where Debian looks for them.
install(FILES ${PROJECT_SOURCE_DIR}/dist/copyright DESTINATION ${ZQ_DOC_DIR})
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/dist/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/dist
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/dist/changelog > ${PROJECT_BINARY_DIR}/dist/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/dist/changelog
  COMMENT "Compressing the changelog")
add_custom_target(changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/dist/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/dist/changelog.gz DESTINATION ${ZQ_DOC_DIR})

# cpack -G DEB: the Debian dependencies come from the programs' own libraries
# (dpkg-shlibdeps); the soundfont gives MIDI music its instruments.
set(CPACK_PACKAGE_NAME zorvoquib)
set(CPACK_PACKAGE_VENDOR "The Zorvo Quib team")
set(CPACK_PACKAGE_CONTACT "The Zorvo Quib team <team@zorvoquib.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D action-puzzle game in levels of cubic cells, with its level editor")
# The extended description; cpack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Steer a hero through a grid of cubes: collect gold ingots, dig holes that
refill, climb ladders, pull levers, push blocks, ride springs and dodge the
flying sentries, then reach the exit once the ingot door opens.

The game comes drawn two ways (zorvoquib by its own software renderer,
zorvoquib-gl through OpenGL), with up to four players over the local
network, a level editor (zorvoquib-editor) and a command-line tool for the
data files (zorvoquib-tool).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zorvoquib.org/")
# Debug information stays out of the package, whatever the build type.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
