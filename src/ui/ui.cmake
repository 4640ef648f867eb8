# The Qt application: the libraries vexel_ui (windows, views, dialogs) and vexel_app (the
# application object), and the program vexel-helper.
find_package(Qt6 REQUIRED COMPONENTS Widgets Multimedia MultimediaWidgets)

# Cameras through Qt Multimedia: the scanner library reaches no webcam.
vexel_layer(ui LINKS vexel_document vexel_scanner Qt6::Widgets Qt6::Multimedia
            Qt6::MultimediaWidgets)
target_sources(vexel_ui PRIVATE ${PROJECT_SOURCE_DIR}/res/vexel.qrc)
set_target_properties(vexel_ui PROPERTIES AUTOMOC ON AUTORCC ON)
# The installed help page and icons are looked up from the program's own folder.
file(RELATIVE_PATH bin_to_data ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR})
target_compile_definitions(vexel_ui PRIVATE VEXEL_VERSION="${PROJECT_VERSION}"
    VEXEL_APP_ID="${VEXEL_APP_ID}" VEXEL_BIN_TO_DATA="${bin_to_data}")

# Only the keyboard's lock lights need X11; without it they read as unknown.
find_package(X11)
if(X11_FOUND AND X11_Xkb_FOUND)
    target_compile_definitions(vexel_ui PRIVATE VEXEL_HAVE_X11)
    target_link_libraries(vexel_ui PRIVATE X11::X11)
else()
    message(STATUS "X11 not found: the lock indicators will read as unknown")
endif()

vexel_layer(app LINKS vexel_ui)
get_target_property(app_sources vexel_app SOURCES)
list(FILTER app_sources EXCLUDE REGEX ".*/main\\.cpp$")
set_property(TARGET vexel_app PROPERTY SOURCES ${app_sources})

add_executable(vexel-helper ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(vexel-helper PRIVATE vexel_app)
target_compile_definitions(vexel-helper PRIVATE VEXEL_VERSION="${PROJECT_VERSION}")
set_target_properties(vexel-helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
install(TARGETS vexel-helper RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
