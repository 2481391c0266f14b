# What `cmake --install` puts under the prefix, and the .deb that cpack makes
# of the same files.  Programs find their data relative to their own path
# (PREFIX/bin/NAME reads PREFIX/share/zorvoquib), so nothing here bakes a path
# into a program and a moved install keeps working.
include(GNUInstallDirs)

set(ZQ_APP_ID org.zorvoquib.game)
set(ZQ_EDITOR_ID org.zorvoquib.editor)

foreach(program game_soft game_gl leveleditor zqtool)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET content)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvoquib
          PATTERN "*.POT" EXCLUDE)
  install(DIRECTORY ${PROJECT_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

# The menu entry starts the software-drawn game; the OpenGL one is an action of it.
if(TARGET game_gl)
  set(ZQ_DESKTOP_ACTIONS "Actions=opengl;\n\n[Desktop Action opengl]\nName=Zorvo Quib (OpenGL)\nExec=game_gl\n")
else()
  set(ZQ_DESKTOP_ACTIONS "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/dist/${ZQ_APP_ID}.desktop.in ${PROJECT_BINARY_DIR}/dist/${ZQ_APP_ID}.desktop @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/dist/${ZQ_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/${ZQ_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
if(TARGET leveleditor)
  install(FILES ${PROJECT_SOURCE_DIR}/dist/${ZQ_EDITOR_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# cpack -G DEB: the Debian dependencies come from the programs' own libraries
# (dpkg-shlibdeps); the soundfont gives MIDI music its instruments.
set(CPACK_PACKAGE_NAME zorvoquib)
set(CPACK_PACKAGE_VENDOR "The Zorvo Quib team")
set(CPACK_PACKAGE_CONTACT "The Zorvo Quib team <team@zorvoquib.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D action-puzzle game in levels of cubic cells, with its level editor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont")
include(CPack)
