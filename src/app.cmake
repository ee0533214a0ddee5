# The editor program (build/src/sonlet) with its desktop entry and icons.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(sonlet main.cpp)
target_link_libraries(sonlet PRIVATE sonlet_ui sonlet_widgets sonlet_playback_sdl sonlet_platform
  sonlet_warnings)
set_target_properties(sonlet PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")

set(SONLET_APP_ID com.tulvo.Sonlet)
set(SONLET_DATA_DIR "${PROJECT_SOURCE_DIR}/data")
sonlet_install_program(sonlet)
install(FILES "${SONLET_DATA_DIR}/${SONLET_APP_ID}.desktop"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${SONLET_DATA_DIR}/icons/${SONLET_APP_ID}.svg"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(size 48 256)
  install(FILES "${SONLET_DATA_DIR}/icons/sonlet-${size}.png"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
    RENAME "${SONLET_APP_ID}.png")
endforeach()
install(FILES "${SONLET_DATA_DIR}/${SONLET_APP_ID}.metainfo.xml"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${SONLET_DATA_DIR}/man/sonlet.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
