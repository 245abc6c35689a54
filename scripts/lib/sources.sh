# shellcheck shell=bash
# Library sources for the builds that compile SDL, FreeType and SDL_ttf
# themselves (windows/build.sh, web/build.sh): Debian's source packages through
# a private apt configuration, and SDL_ttf 2.0.11's release tarball where the
# archive does not serve it. Source it with these set:
#   out      the build's folder (its private apt configuration goes in out/apt)
#   sources  where the sources are unpacked, one folder per package
#   logs     where each step's log goes
#   build_script  the command, as the messages name it (windows/build.sh)
# It defines step NAME COMMAND... and die MESSAGE for the build too.

die() { echo "$build_script: $*" >&2; exit 1; }

# Runs a step with its output in a log, shown only when the step fails.
step() {
    local name="$1"; shift
    if ! "$@" > "$logs/$name.log" 2>&1; then
        tail -n 40 "$logs/$name.log" >&2
        die "$name failed (whole log: $logs/$name.log)"
    fi
}

# --- Sources from Debian's archive ---------------------------------------

# apt-get source with an apt configuration of its own in OUT/apt: its source
# list mirrors the machine's configured binary entries as deb-src ones, and
# its package lists and cache are its own, so the build neither edits
# /etc/apt nor refreshes the machine's lists, and needs no root. The machine's
# keyrings still check what is fetched. Downloads run as the calling user: the
# folder is not _apt's to write in.
#
# The sources are Debian 12's whatever Debian the machine runs: the entries of
# the machine's own release (RELEASE, RELEASE-updates, RELEASE-security) are
# named for bookworm instead. So a zip or a page made on Debian 13, which no
# longer has the classic SDL 1.2's source (only sdl12-compat, which needs
# SDL 2), holds the same SDL, FreeType and SDL_ttf as one made on Debian 12.
sources_release=bookworm
host_release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
apt_dir="$out/apt"
apt_options=(-o Dir::Etc::SourceList="$apt_dir/sources.list"
    -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
    -o Dir::State::Lists="$apt_dir/lists"
    -o Dir::Cache="$apt_dir/cache"
    -o APT::Sandbox::User="$(id -un)")

write_private_source_list() {
    local list parts
    eval "$(apt-config shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d)"
    rm -rf "$apt_dir"
    mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
    # One-line entries: each "deb" line again as "deb-src", its suite (the
    # first word after the URI) named for Debian 12.
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$list" "$parts"*.list 2>/dev/null |
        awk -v host="$host_release" -v to="$sources_release" '
            { i = 2
              if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }  # options
              if (host != "" && index($(i + 1), host) == 1) $(i + 1) = to substr($(i + 1), length(host) + 1)
              print }' > "$apt_dir/sources.list" || true
    # deb822 stanzas: the enabled ones of type deb, relabelled deb-src, their
    # suites named for Debian 12, comments dropped.
    awk -v host="$host_release" -v to="$sources_release" 'BEGIN { RS = ""; ORS = "\n" }
        { keep = 0; text = ""; n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
              line = lines[i]
              if (line ~ /^[[:space:]]*#/) continue
              if (line ~ /^Types:/) {
                  if (line ~ /[[:space:]]deb([[:space:]]|$)/) keep = 1
                  line = "Types: deb-src"
              }
              if (line ~ /^Suites:/ && host != "") {
                  m = split(line, words, /[[:space:]]+/); line = "Suites:"
                  for (j = 2; j <= m; j++) {
                      if (index(words[j], host) == 1) words[j] = to substr(words[j], length(host) + 1)
                      line = line " " words[j]
                  }
              }
              if (line ~ /^Enabled:[[:space:]]*no/) keep = 0
              text = text line "\n"
          }
          if (keep) print text }' "$parts"*.sources \
        > "$apt_dir/sources.list.d/mirror.sources" 2>/dev/null || true
    apt-get "${apt_options[@]}" update
}

# Fetches Debian source package $1 into OUT/sources/$1 unless it is there;
# returns 1 (the reason in the log) if the archive does not serve it. The
# private lists are made on the first fetch of a run.
lists_ready=""
fetch_source() {
    local package="$1" folder="$sources/$1"
    [ -f "$folder/.fetched" ] && return 0
    if [ -z "$lists_ready" ]; then
        step apt-lists write_private_source_list
        lists_ready=yes
    fi
    rm -rf "$folder"
    mkdir -p "$folder"
    (cd "$folder" && fetch_newest_served "$package") > "$logs/fetch-$package.log" 2>&1 || return 1
    echo "Debian's source package $package" > "$folder/.fetched"
}

# apt-get source of the newest version of $1 whose files the archive serves,
# in the current folder. A mirror's index can name a point release's version
# before its pool holds the files (a 404 for the .dsc): the version before it,
# from the release's security or updates suite, serves as well then.
fetch_newest_served() {
    local package="$1" version
    for version in $(apt-cache "${apt_options[@]}" showsrc "$package" |
        awk -v p="$package" '/^Package:/ { mine = $2 == p } mine && /^Version:/ { print $2 }' |
        sort -u -r -V); do
        echo "Fetching $package $version"
        apt-get "${apt_options[@]}" source -qq "$package=$version" && return 0
    done
    echo "No version of $package could be fetched"
    return 1
}

# The folder a fetched source unpacked to.
source_folder() { find "$sources/$1" -mindepth 1 -maxdepth 1 -type d | head -n 1; }

# --- SDL_ttf's source where the archive does not serve it -----------------

# The SDL_ttf 2.0.11 tarballs accepted: upstream's repository exported at its
# tag release-2.0.11, and Debian's own copy of the release
# (sdl-ttf2.0_2.0.11.orig.tar.gz, as its sdl-ttf2.0_2.0.11-6.dsc lists it).
SDL_TTF_SHA256S="16c177bd10a0ff166dee5668eb0c9f5800761427f3d27d317e5cd7bc247a2210
724cd895ecf4da319a3ef164892b72078bd92632a5d812111261cde248ebcdb7"
SDL_TTF_TARBALL_NAMES="SDL_ttf-2.0.11.tar.gz sdl-ttf2.0_2.0.11.orig.tar.gz"

# The shared sources folder beside the checkout holds SDL_ttf's release where
# Debian's archive does not serve it: every command that builds the libraries
# (the test command, the stress command, either build by hand) finds it there.
deps_beside_checkout="$(dirname "${BASH_SOURCE[0]}")/../../../shared/deps"
if [ -z "${VOSTRELINA_SOURCES:-}" ] && [ -d "$deps_beside_checkout" ]; then
    VOSTRELINA_SOURCES="$(cd "$deps_beside_checkout" && pwd)"
fi

# Prints the tarball given, by VOSTRELINA_SDL_TTF_TARBALL or in the folder
# VOSTRELINA_SOURCES; returns 1 if there is none.
sdl_ttf_tarball() {
    local name
    if [ -n "${VOSTRELINA_SDL_TTF_TARBALL:-}" ]; then echo "$VOSTRELINA_SDL_TTF_TARBALL"; return 0; fi
    [ -n "${VOSTRELINA_SOURCES:-}" ] || return 1
    for name in $SDL_TTF_TARBALL_NAMES; do
        if [ -f "$VOSTRELINA_SOURCES/$name" ]; then echo "$VOSTRELINA_SOURCES/$name"; return 0; fi
    done
    return 1
}

no_sdl_ttf_source() {
    cat >&2 <<EOF
$build_script: no source for SDL_ttf 2.0.11.
  Debian's archive did not serve sdl-ttf2.0 ($logs/fetch-sdl-ttf2.0.log says why),
  and no tarball was given. Either way works:
    VOSTRELINA_SDL_TTF_TARBALL=/path/to/SDL_ttf-2.0.11.tar.gz bash $build_script
    VOSTRELINA_SOURCES=/folder/holding/it bash $build_script
  (in that folder: ${SDL_TTF_TARBALL_NAMES// / or }).
  The tarball is used only when its sha256 is one of:
$(sed 's/^/    /' <<< "$SDL_TTF_SHA256S")
EOF
    exit 1
}

# Unpacks tarball $1 into OUT/sources/sdl-ttf2.0 once its sha256 is known.
unpack_sdl_ttf() {
    local tarball="$1" folder="$sources/sdl-ttf2.0" sum
    sum=$(sha256sum < "$tarball" | cut -d' ' -f1)
    grep -qx "$sum" <<< "$SDL_TTF_SHA256S" ||
        die "$tarball has sha256 $sum, which is not SDL_ttf 2.0.11's (accepted: ${SDL_TTF_SHA256S//$'\n'/ or }); not used"
    rm -rf "$folder"
    mkdir -p "$folder"
    tar -xzf "$tarball" -C "$folder"
    [ -f "$(source_folder sdl-ttf2.0)/SDL_ttf.c" ] || die "$tarball holds no SDL_ttf-2.0.11/SDL_ttf.c"
    echo "$tarball (sha256 $sum)" > "$folder/.fetched"
}

# Makes OUT/sources/sdl-ttf2.0 hold SDL_ttf's source, from the first place
# that has it.
get_sdl_ttf_source() {
    local tarball
    [ -f "$sources/sdl-ttf2.0/.fetched" ] && return 0
    if [ "${VOSTRELINA_SDL_TTF_NO_APT:-}" != 1 ]; then
        fetch_source sdl-ttf2.0 && return 0
        # apt's own words are in the log; they name the archive's address.
        echo "Debian's archive does not serve sdl-ttf2.0 here (apt-get source's answer: $logs/fetch-sdl-ttf2.0.log)"
    else
        echo "Debian's archive not asked for sdl-ttf2.0 (VOSTRELINA_SDL_TTF_NO_APT=1)" |
            tee "$logs/fetch-sdl-ttf2.0.log"
    fi
    if [ -n "${VOSTRELINA_SDL_TTF_TARBALL:-}" ] && [ ! -f "$VOSTRELINA_SDL_TTF_TARBALL" ]; then
        die "VOSTRELINA_SDL_TTF_TARBALL names $VOSTRELINA_SDL_TTF_TARBALL, which is not a file"
    fi
    tarball=$(sdl_ttf_tarball) || no_sdl_ttf_source
    unpack_sdl_ttf "$tarball"
}

