#!/usr/bin/env bash
# Builds the Debian package with Debian's own tools (debian/, debhelper,
# dpkg-buildpackage -b) and copies it to dist/:
#
#     bash scripts/package.sh [BUILD_FOLDER [OUTPUT_FOLDER]]
#
# BUILD_FOLDER (build-package/ by default) is emptied first. The source is
# what git knows of this tree (tracked files and new ones it does not ignore),
# copied to BUILD_FOLDER/vostrelina-VERSION beside an orig tarball of it, so
# that build folders and leftovers never reach the package. Two builds of the
# same tree give the same .deb in any folder: SOURCE_DATE_EPOCH comes from
# debian/changelog and the build folder is mapped out of the binary.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$top/build-package}")"
out="$(realpath -m "${2:-$top/dist}")"
bash "$top/scripts/setup.sh" package

version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
upstream=${version%-*}
epoch=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Timestamp)
source_dir="vostrelina-$upstream"
deb="vostrelina_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).deb"

rm -rf "$build"
mkdir -p "$build/$source_dir" "$out"
# safe.directory: a checkout owned by another user (CI as root) is still read.
git -c safe.directory="$top" -C "$top" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do
        [ -e "$top/$file" ] && printf '%s\0' "$file"  # deleted but not yet committed
    done |
    tar -C "$top" --null -T - -cf - | tar -C "$build/$source_dir" -xf -

# The same bytes for the same tree: sorted names, no owners, the changelog's
# time, no time in the gzip header.
tar -C "$build" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    --mode=go-w,a+rX --exclude="$source_dir/debian" -cf - "$source_dir" |
    gzip -n -9 > "$build/vostrelina_$upstream.orig.tar.gz"

(cd "$build/$source_dir" && dpkg-buildpackage -b -us -uc -j2)
cp "$build/$deb" "$out/$deb"
echo "$out/$deb"
