#!/usr/bin/env bash
# Installs what building (and, with "test", testing) needs on Debian 12.
# Quick when everything is there: it asks dpkg first and only calls apt-get
# for packages that are missing, with one apt-get update before installing.
set -euo pipefail

# Google Benchmark too: the benchmarks in bench/ are built with everything else.
build_packages="g++ cmake make pkg-config libsdl1.2-dev libsdl-ttf2.0-dev fonts-freefont-ttf libbenchmark-dev"
# Tests: GoogleTest/GoogleMock, a headless X server with
# keyboard injection, screenshots (ImageMagick) and window inspection (x11-utils),
# Xlib for the small window-closing helper, clang for the second compiler and,
# with its sanitizer and libFuzzer runtimes, the sanitizer build and the fuzzer;
# strace to see that the program writes no file; ps (procps, absent from
# minimal images) for waiting on the program.
test_packages="googletest libgtest-dev libgmock-dev xvfb xauth xdotool imagemagick x11-utils libx11-dev clang libclang-rt-14-dev strace procps"
# The Windows build (windows/build.sh, "windows"): the mingw-w64 cross
# compilers, dpkg-dev and file for apt-get source and libtool; Wine to run it,
# tesseract to read the message box's text off its screenshot, and DejaVu
# for Wine to draw that text in: with no fonts-wine (a Recommends) and the
# FreeFont family the only fonts, tesseract misreads the box's text.
windows_packages="gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 dpkg-dev file wine wine64 tesseract-ocr fonts-dejavu-core"

# The Debian package (scripts/package.sh, "package"): Debian's packaging
# tools (dpkg-buildpackage wants build-essential itself), rsvg-convert to draw
# the PNG icons, git to list the source, and what the package test checks
# with: lintian, the desktop entry and AppStream validators, the shared MIME
# database and xdg-mime, which reads it through File::MimeInfo's mimetype
# (only a Recommends of xdg-utils).
package_packages="build-essential debhelper dpkg-dev librsvg2-bin git lintian desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl"

wanted="$build_packages"
if [ "${1:-}" = "test" ]; then wanted="$wanted $test_packages"; fi
if [ "${1:-}" = "windows" ]; then wanted="$wanted $windows_packages"; fi
if [ "${1:-}" = "package" ]; then wanted="$wanted $package_packages"; fi

missing=""
for package in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
