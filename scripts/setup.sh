#!/usr/bin/env bash
# Installs on Debian 12 or 13 what the commands named as arguments need (the
# package names are the same on both):
#   run      building and playing (scripts/run.sh; the default)
#   dev      the everyday build with its tests (cmake --preset dev)
#   test     every test (scripts/test.sh)
#   bench    the benchmarks (scripts/bench.sh)
#   windows  the Windows build (windows/build.sh)
#   web      the web build (web/build.sh)
#   package  the Debian package (scripts/package.sh)
#   debian   running a command in the other Debian (scripts/in-debian.sh)
# Quick when everything is there: it asks dpkg first and only calls apt-get
# for packages that are missing, with one apt-get update before installing.
# "test" also installs the browser tests' npm packages (tests/web).
set -euo pipefail

# The program: compiler, CMake, SDL 1.2, SDL_ttf and the font, and ncurses
# for the debugger's full-screen view. No test or benchmark library: the run
# command builds neither.
build_packages="g++ cmake make pkg-config libsdl1.2-dev libsdl-ttf2.0-dev libncurses-dev fonts-freefont-ttf"
# The tests' build: GoogleTest/GoogleMock, Google Benchmark (the benchmarks'
# yardstick tests are among the tests), Xlib for the small window-closing
# helper.
dev_packages="googletest libgtest-dev libgmock-dev libbenchmark-dev libx11-dev"
# The rest of the full test run: a headless X server with keyboard injection,
# screenshots (ImageMagick) and window inspection (x11-utils), clang for the
# second compiler and, with its sanitizer and libFuzzer runtimes, the
# sanitizer build and the fuzzer (libclang-rt-dev: those of the default
# clang, 14 on Debian 12, 19 on 13); strace to see that the program writes
# no file; ps (procps, absent from minimal images) for waiting on the program;
# setxkbmap and xmodmap for the keyboard layouts test, sdl12-compat, the
# second SDL 1.2 the real-window tests run on, and tmux, the real terminal
# the debugger's view is tested in.
test_packages="xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-dev strace procps x11-xkb-utils x11-xserver-utils libsdl1.2-compat tmux"
# The benchmarks: Google Benchmark, and a private Xvfb (xdpyinfo from
# x11-utils) for their run under the X11 driver.
bench_packages="libbenchmark-dev xvfb xauth x11-utils"
# The Windows build (windows/build.sh, "windows"): the mingw-w64 cross
# compilers, dpkg-dev and file for apt-get source and libtool, zip for its
# archive and unzip to check it; Wine to run it,
# tesseract to read the message box's text off its screenshot, and DejaVu
# for Wine to draw that text in: with no fonts-wine (a Recommends) and the
# FreeFont family the only fonts, tesseract misreads the box's text. The
# executable's icon is drawn with rsvg-convert and put together with icotool
# (icoutils, whose wrestool reads it back), and the installer made by NSIS.
windows_packages="gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 dpkg-dev file zip unzip wine wine64 tesseract-ocr fonts-dejavu-core nsis icoutils librsvg2-bin"

# The web build (web/build.sh, "web"): Emscripten (its compiler, its SDL 1.2
# and its CMake toolchain; it brings Debian's node), dpkg-dev for apt-get
# source, FreeFont for the page's font, and rsvg-convert (librsvg2-bin) to
# draw the page's icons from our own. The test command adds the three engines
# the browser tests drive: chromium, firefox-esr and WebKitGTK with its
# WebKitWebDriver (webkit2gtk-driver; its MiniBrowser runs on the tests'
# Xvfb). Both take npm, unless an npm is there already: the build for the
# workbench's editor (web/workbench/package-lock.json), the tests for their
# clients (tests/web/package-lock.json).
web_packages="emscripten dpkg-dev fonts-freefont-ttf librsvg2-bin"
web_test_packages="chromium firefox-esr webkit2gtk-driver"
command -v npm >/dev/null 2>&1 || web_packages="$web_packages npm"

# The Debian package (scripts/package.sh, "package"): Debian's packaging
# tools (dpkg-buildpackage wants build-essential itself), rsvg-convert to draw
# the PNG icons, git to list the source, and what the package test checks
# with: lintian, the desktop entry and AppStream validators, the shared MIME
# database and xdg-mime, which reads it through File::MimeInfo's mimetype
# (only a Recommends of xdg-utils).
package_packages="build-essential debhelper dpkg-dev librsvg2-bin git lintian desktop-file-utils appstream shared-mime-info xdg-utils libfile-mimeinfo-perl"

# A minimal Debian root for scripts/in-debian.sh, and the mount namespace
# (util-linux) it is mounted in.
debian_packages="debootstrap util-linux"

# Several commands' groups may be named at once, so that a command that needs
# them all (the test command) updates the package lists only once.
wanted="$build_packages"
for command in "${@:-run}"; do
    case "$command" in
    run) ;;
    dev) wanted="$wanted $dev_packages" ;;
    test) wanted="$wanted $dev_packages $test_packages $web_packages $web_test_packages" ;;
    bench) wanted="$wanted $bench_packages" ;;
    windows) wanted="$wanted $windows_packages" ;;
    web) wanted="$wanted $web_packages" ;;
    package) wanted="$wanted $package_packages" ;;
    debian) wanted="$wanted $debian_packages" ;;
    *) echo "usage: setup.sh [run|dev|test|bench|windows|web|package|debian]..." >&2; exit 2 ;;
    esac
done
if [ "${SETUP_LIST:-}" = 1 ]; then echo "$wanted"; exit 0; fi

missing=""
for package in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
if [ -n "$missing" ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing:$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

# The browser tests' clients, from npm at the versions
# tests/web/package-lock.json pins, into tests/web/node_modules (again when
# the pins change). Their install scripts are not run, and so no browser or
# driver is downloaded.
if [[ " ${*:-run} " == *" test "* ]]; then
    web_tests="$(cd "$(dirname "$0")/.." && pwd)/tests/web"
    # The lock file the packages were installed from is kept beside them: a
    # changed pin installs them again.
    if ! cmp -s "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock.json"; then
        echo "Installing the browser tests' npm packages (tests/web/package-lock.json)"
        (cd "$web_tests" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
        cp "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-from-lock.json"
    fi
fi
