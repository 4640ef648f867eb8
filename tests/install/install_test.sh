#!/bin/sh
# Installs the build into a new prefix and checks what a desktop and a packager rely on: every
# file in its place, the desktop file and the AppStream metadata valid, and the installed program
# running from there.
# Usage: install_test.sh BUILD_DIR APP_ID VERSION
set -u
build="$1"
id="$2"
version="$3"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "install: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix/usr" >"$prefix/install.log" 2>&1 ||
    { cat "$prefix/install.log" >&2; fail "cmake --install failed"; }
root="$prefix/usr"
for file in bin/vexel-helper share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/vexel-helper/help/index.html; do
    [ -f "$root/$file" ] || fail "$file is missing"
done
for size in 16 32 48 64 128 256; do
    [ -f "$root/share/icons/hicolor/${size}x$size/apps/$id.png" ] || fail "the $size px icon is missing"
done
# Nothing else: no libraries, headers or build files.
extra="$(cd "$root" && find . -type f | grep -v -e '^./bin/vexel-helper$' -e '^./share/applications/' \
    -e '^./share/metainfo/' -e '^./share/icons/hicolor/' -e '^./share/vexel-helper/help/')"
[ -z "$extra" ] || fail "unexpected files: $extra"

desktop-file-validate "$root/share/applications/$id.desktop" || fail "desktop file invalid"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" || fail "metainfo invalid"
grep -q "version=\"$version\"" "$root/share/metainfo/$id.metainfo.xml" || fail "metainfo version"

out="$("$root/bin/vexel-helper" --version)" || fail "--version failed"
[ "$out" = "vexel-helper $version" ] || fail "--version printed '$out'"

# The installed program starts and keeps running until it is stopped.
mkdir -p "$prefix/home"
HOME="$prefix/home" XDG_CONFIG_HOME="$prefix/home/.config" QT_QPA_PLATFORM=offscreen \
    timeout 5 "$root/bin/vexel-helper" >"$prefix/run.log" 2>&1
rc=$?
[ "$rc" = 124 ] || { cat "$prefix/run.log" >&2; fail "the installed program ended early ($rc)"; }
echo "install: all checks passed"
