# Image files: libpng, libjpeg-turbo, libtiff and libwebp.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VX_WEBP REQUIRED IMPORTED_TARGET libwebp)
target_link_libraries(vexel_imageio PUBLIC PNG::PNG JPEG::JPEG TIFF::TIFF PkgConfig::VX_WEBP)
