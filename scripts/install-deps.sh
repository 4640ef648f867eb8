#!/bin/sh
# Installs every Debian package the build and the tests need.
set -e
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES="build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
 qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev \
 qt6-multimedia-dev libqt6multimedia6 gstreamer1.0-plugins-base gstreamer1.0-plugins-good \
 libpng-dev zlib1g-dev libdeflate-dev libjpeg-dev libtiff-dev libwebp-dev libjpeg-turbo-progs \
 libheif-dev libheif1 libdav1d6 libaom3 libde265-0 libx265-199 libjxl-dev libraw-dev liblcms2-dev \
 libffms2-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg \
 libopencv-dev opencv-data libsane-dev sane-utils xauth xvfb desktop-file-utils appstream ccache"
# Skip apt when everything is already there: keeps repeated runs fast.
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
