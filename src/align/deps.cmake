# Alignment: OpenCV's features, robust estimation, image registration and cascade detectors, by
# components only (its pkg-config file would pull in the GUI module and another Qt).
find_package(OpenCV REQUIRED COMPONENTS core imgproc features2d calib3d video objdetect)
target_link_libraries(vexel_align PUBLIC ${OpenCV_LIBS})

# The face and eye cascades ship as data beside the libraries (Debian's opencv-data).
find_path(VEXEL_CASCADE_DIR haarcascade_frontalface_alt2.xml
    HINTS ${OpenCV_INSTALL_PATH}/share/opencv4/haarcascades
          ${OpenCV_INSTALL_PATH}/share/opencv/haarcascades
    PATH_SUFFIXES opencv4/haarcascades opencv/haarcascades
    DOC "Folder of OpenCV's Haar cascades")
if(NOT VEXEL_CASCADE_DIR)
    message(FATAL_ERROR "OpenCV's Haar cascades were not found (Debian package opencv-data)")
endif()
target_compile_definitions(vexel_align PRIVATE VEXEL_CASCADE_DIR="${VEXEL_CASCADE_DIR}")
