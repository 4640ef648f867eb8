# The scanner component talks to SANE; its scans are written through the image-file component.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VX_SANE REQUIRED IMPORTED_TARGET sane-backends)
target_link_libraries(vexel_scanner PUBLIC PkgConfig::VX_SANE)
