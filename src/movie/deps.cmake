# Movie decoding: FFMS2 for the frame index, FFmpeg's libraries for demuxing, decoding and
# colour conversion.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VEXEL_MOVIE REQUIRED IMPORTED_TARGET ffms2 libavformat libavcodec libswscale
    libavutil)
target_link_libraries(vexel_movie PUBLIC PkgConfig::VEXEL_MOVIE)
