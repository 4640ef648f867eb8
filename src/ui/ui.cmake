# The Qt application: the library vexel_ui and the program vexel-helper.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

file(GLOB VEXEL_UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/ui/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp)
list(FILTER VEXEL_UI_SOURCES EXCLUDE REGEX ".*/app/main\\.cpp$")

add_library(vexel_ui STATIC ${VEXEL_UI_SOURCES} ${PROJECT_SOURCE_DIR}/res/vexel.qrc)
set_target_properties(vexel_ui PROPERTIES AUTOMOC ON AUTORCC ON)
find_package(X11 REQUIRED) # the keyboard's lock lights
target_link_libraries(vexel_ui PUBLIC vexel_core Qt6::Widgets X11::X11)

add_executable(vexel-helper ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp)
target_link_libraries(vexel-helper PRIVATE vexel_ui)
set_target_properties(vexel-helper PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
