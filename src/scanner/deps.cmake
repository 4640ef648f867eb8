# The scanner component talks to SANE and writes its scans with libpng.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VX_SANE REQUIRED IMPORTED_TARGET sane-backends)
find_package(PNG REQUIRED)
target_link_libraries(vexel_core PUBLIC PkgConfig::VX_SANE PNG::PNG)
