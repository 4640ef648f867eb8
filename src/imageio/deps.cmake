# Image files: libpng, zlib and libdeflate, libjpeg-turbo, libtiff, libwebp, libheif (HEIF and
# AVIF), libjxl, LibRaw, and Little CMS for the colour profiles they carry.
find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(PkgConfig REQUIRED)
pkg_check_modules(VX_WEBP REQUIRED IMPORTED_TARGET libwebp)
pkg_check_modules(VX_DEFLATE REQUIRED IMPORTED_TARGET libdeflate)
pkg_check_modules(VX_HEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(VX_JXL REQUIRED IMPORTED_TARGET libjxl libjxl_threads)
pkg_check_modules(VX_RAW REQUIRED IMPORTED_TARGET libraw_r)
pkg_check_modules(VX_LCMS REQUIRED IMPORTED_TARGET lcms2)
target_link_libraries(vexel_imageio PUBLIC PNG::PNG ZLIB::ZLIB PkgConfig::VX_DEFLATE JPEG::JPEG
                      TIFF::TIFF PkgConfig::VX_WEBP PkgConfig::VX_HEIF PkgConfig::VX_JXL PkgConfig::VX_RAW PkgConfig::VX_LCMS)
