#!/usr/bin/env bash
# Every bad input a user can hand the real program, each with the message and
# the exit code they should get, and nothing written anywhere: the program runs
# in an empty folder with an empty HOME, both must stay empty and the ROMs
# unchanged, and where strace can watch (not in a sanitizer build: LeakSanitizer
# cannot run under ptrace) no file may be opened for writing, created, renamed
# or removed. Runs under SDL's dummy video driver, where the ROM dialog does not
# wait; a program that runs is asked to quit with SIGTERM, which SDL turns into
# the same quit event as closing the window, so it must end with 0.
source "$(dirname "$0")/lib.sh"

EXE="$BUILD_DIR/vostrelina"
ROMS="$WORK_DIR/roms"
RUN="$WORK_DIR/run"
HOME_DIR="$WORK_DIR/home"
mkdir -p "$ROMS" "$RUN" "$HOME_DIR"

# Loops on itself at 0x200, padded with zeros to $1 bytes.
loop_rom() { printf '\x12\x00'; head -c $(($1 - 2)) /dev/zero; }
: > "$ROMS/empty.ch8"
loop_rom 3584 > "$ROMS/exact.ch8"
loop_rom 3585 > "$ROMS/over.ch8"
loop_rom $((1024 * 1024)) > "$ROMS/big.ch8"
loop_rom 2 > "$ROMS/my rom.ch8"
loop_rom 2 > "$ROMS/say \"hi\" 'there'.ch8"
cp -a "$ROMS" "$WORK_DIR/roms.orig"

CUT="Rom trop longue : seuls ses 3584 premiers octets ont été chargés"
NO_ROM="Impossible d'ouvrir la rom"
# The line after it: the path as given, the reason, and for a relative path
# the working directory (the program's, $RUN, as the system names it).
quote_regex() { sed 's/[][\.*^$+?(){}|]/\\&/g' <<< "$1"; }
HERE=" \(dossier courant : $(quote_regex "$(cd "$RUN" && pwd -P)")\)"
NO_SDL="Erreur d'initialisation de SDL: .+"
NO_VIDEO="Impossible de charger le mode vidéo : .+"
NO_FONT="Police introuvable : FreeSans.ttf \(les textes ne seront pas affichés\)"
TOO_LONG="Chemin de rom trop long \(plus de 32767 octets\)"

# strace watches every case where it can.
TRACE=()
if grep -q '^VOSTRELINA_SANITIZE:BOOL=ON' "$BUILD_DIR/CMakeCache.txt" 2>/dev/null; then
    echo "note: sanitizer build, file writes are watched in the normal build only"
elif command -v strace >/dev/null && strace -o /dev/null true 2>/dev/null; then
    echo "note: strace watches every case for file writes"
    TRACE=(strace -f -qq -o "$WORK_DIR/trace" -e trace=open,openat,creat,mkdir,mkdirat,unlink,unlinkat,rename,renameat,renameat2,truncate,link,linkat,symlink,symlinkat,chmod,fchmodat,chown,fchownat,lchown,utimensat)
else
    echo "note: strace cannot attach here, file writes are not watched"
fi

# Per case: the video driver, an optional DISPLAY, the executable and a
# wrapper that runs it (the missing-font case changes the last two).
DRIVER=dummy
CASE_DISPLAY=""
PROGRAM="$EXE"
WRAPPER=()

# The command that runs the program with the case's arguments, in $RUN, with
# nothing of the caller's environment but PATH, the sanitizers' options and
# LD_LIBRARY_PATH (which may choose sdl12-compat over the classic SDL 1.2).
program_command() {
    COMMAND=(env -i PATH="$PATH" HOME="$HOME_DIR" SDL_VIDEODRIVER="$DRIVER")
    [ -n "$CASE_DISPLAY" ] && COMMAND+=(DISPLAY="$CASE_DISPLAY")
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS LD_LIBRARY_PATH; do
        [ -n "${!name:-}" ] && COMMAND+=("$name=${!name}")
    done
    [ -n "$SANITIZER_PRELOAD" ] && COMMAND+=("LD_PRELOAD=$SANITIZER_PRELOAD")
    COMMAND+=("${WRAPPER[@]}" "${TRACE[@]}" "$PROGRAM" "$@")
}

# Standard error must be exactly these lines, each an extended regex, each
# ended by one line break and nothing after the last.
expect_stderr() {
    local case="$1"; shift
    local lines=()
    mapfile -t lines < "$WORK_DIR/err"
    if [ "${#lines[@]}" -ne $# ] || [ "$(tr -cd '\n' < "$WORK_DIR/err" | wc -c)" -ne $# ]; then
        fail "$case: standard error has $(wc -l < "$WORK_DIR/err") line breaks, expected $#: $(od -c "$WORK_DIR/err" | head -n 20)"
    fi
    local i=0 pattern
    for pattern in "$@"; do
        [[ "${lines[$i]}" =~ ^$pattern$ ]] || fail "$case: stderr line '${lines[$i]}' is not '$pattern'"
        i=$((i + 1))
    done
}

# Standard error must be these bytes exactly ($2, printf's format).
expect_stderr_bytes() {
    # shellcheck disable=SC2059
    printf "$2" > "$WORK_DIR/err.expected"
    cmp -s "$WORK_DIR/err" "$WORK_DIR/err.expected" ||
        fail "$1: standard error differs from the expected bytes:$(echo; od -c "$WORK_DIR/err")"
}

# Nothing written: no output, the folders still empty, the ROMs unchanged,
# and no write in the syscall trace.
expect_nothing_written() {
    local case="$1"
    [ -s "$WORK_DIR/out" ] && fail "$case: wrote to standard output: $(head -c 200 "$WORK_DIR/out")"
    [ -z "$(ls -A "$RUN")" ] || fail "$case: wrote into its working folder: $(ls -A "$RUN")"
    [ -z "$(ls -A "$HOME_DIR")" ] || fail "$case: wrote into HOME: $(ls -A "$HOME_DIR")"
    diff -r "$ROMS" "$WORK_DIR/roms.orig" >/dev/null || fail "$case: a ROM changed"
    [ "$(ls -lA --time-style=full-iso "$ROMS" | tail -n +2)" = "$ROMS_LISTING" ] ||
        fail "$case: the ROM folder changed"
    if [ ${#TRACE[@]} -gt 0 ]; then
        local writes
        writes=$(grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|^[0-9]+ +(creat|mkdir|unlink|rename|truncate|link|symlink|chmod|fchmodat|chown|fchownat|lchown|utimensat)' \
                 "$WORK_DIR/trace" | grep -v '= -1 ' | grep -v '"/dev/' || true)
        [ -z "$writes" ] || fail "$case: wrote a file: $writes"
    fi
}

# A case that ends by itself: exit code, then the exact standard error.
case_exits() {
    local case="$1" code="$2"; shift 2
    local expected=()
    while [ "$1" != "--" ]; do expected+=("$1"); shift; done
    shift
    program_command "$@"
    local got=0
    (cd "$RUN" && exec timeout -k 2 30 "${COMMAND[@]}") > "$WORK_DIR/out" 2> "$WORK_DIR/err" || got=$?
    [ "$got" -ne 124 ] || fail "$case: did not end"
    [ "$got" -eq "$code" ] || fail "$case: exit code $got, expected $code: $(cat "$WORK_DIR/err")"
    expect_stderr "$case" "${expected[@]}"
    expect_nothing_written "$case"
    echo "ok: $case: exit $code${expected[0]:+, \"${expected[0]}\"}"
}

# True once SDL is up in the program's own process, which it sets TARGET to:
# process $1 itself (which execs the program through its wrappers) or one of
# its children under strace, the one whose executable is the program,
# catching SIGTERM. SDL then turns the signal into its quit event, so asking
# to quit cannot kill it mid-way. Also true, with TARGET empty, once $1 has
# ended: the program can no longer come up.
program_up_or_ended() {
    local candidate caught program
    TARGET=""
    has_ended "$1" && return 0
    program=$(readlink -f "$PROGRAM")
    for candidate in "$1" $(cat /proc/"$1"/task/*/children 2>/dev/null); do
        [ "$(readlink "/proc/$candidate/exe" 2>/dev/null)" = "$program" ] || continue
        caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$candidate/status" 2>/dev/null)
        if [ -n "$caught" ] && (( (16#$caught >> 14) & 1 )); then
            TARGET="$candidate"
            return 0
        fi
    done
    WHY="SDL is not up yet"
    return 1
}

# True once standard error has at least $1 lines.
stderr_has_lines() { [ "$(wc -l < "$WORK_DIR/err")" -ge "$1" ]; }

# Ends process $1 and its children (the program, when $1 is strace, which
# would otherwise leave it running untraced).
kill_program() {
    local child
    for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do kill -KILL "$child" 2>/dev/null || true; done
    kill -KILL "$1" 2>/dev/null || true
}

# A case that starts and keeps running: SDL comes up within the deadline, the
# expected lines are on standard error within the deadline too, the program
# is still running a second later, and a quit request ends it with 0.
case_runs() {
    local case="$1"; shift
    local expected=()
    while [ "$1" != "--" ]; do expected+=("$1"); shift; done
    shift
    program_command "$@"
    (cd "$RUN" && exec "${COMMAND[@]}") > "$WORK_DIR/out" 2> "$WORK_DIR/err" &
    local pid=$! target
    poll_until "$DEADLINE" program_up_or_ended "$pid" || true
    target="$TARGET"
    # Its lines are checked below; a missing one is seen there.
    poll_until "$DEADLINE" stderr_has_lines ${#expected[@]} || true
    # Ending by itself would show within this second; a quiet start cannot
    # be told from a slow one any other way.
    if [ -z "$target" ] || poll_until 1 has_ended "$target"; then
        kill_program "$pid"
        wait "$pid" || true
        fail "$case: the program did not start SDL and keep running: $(cat "$WORK_DIR/err")"
    fi
    kill -TERM "$target"
    poll_until "$DEADLINE" has_ended "$pid" || { kill_program "$pid"; fail "$case: did not quit within $DEADLINE s"; }
    local got=0
    wait "$pid" || got=$?
    [ "$got" -eq 0 ] || fail "$case: quitting ended with $got, expected 0: $(cat "$WORK_DIR/err")"
    expect_stderr "$case" "${expected[@]}"
    expect_nothing_written "$case"
    echo "ok: $case: runs, quits with 0${expected[0]:+, \"${expected[0]}\"}"
}

# The process of the program (PROGRAM) that holds FIFO $1 open; sets READER.
program_holds() {
    local proc fd program fifo
    program=$(readlink -f "$PROGRAM")
    fifo=$(readlink -f "$1")
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/exe" 2>/dev/null)" = "$program" ] || continue
        for fd in "$proc"/fd/*; do
            if [ "$(readlink "$fd" 2>/dev/null)" = "$fifo" ]; then
                READER="${proc#/proc/}"
                return 0
            fi
        done
    done
    WHY="no $program holds $fifo open"
    return 1
}

# The number of bytes process $1 has read so far.
bytes_read() { awk '/^rchar:/ { print $2 }' "/proc/$1/io" 2>/dev/null; }

# True once process $1 has read at least $2 bytes.
has_read() {
    local count
    count=$(bytes_read "$1")
    [ "${count:-0}" -ge "$2" ] || { WHY="process $1 has read ${count:-no} bytes, expected $2"; return 1; }
}

# Feeds FIFO $1 in two parts, the second once the program has read the
# first. Runs in the background; says what went wrong on standard error.
feed_late_fifo() {
    local before
    fail() { echo "FAIL: the FIFO's writer: $*" >&2; exit 1; }
    wait_until "the program to open the FIFO" "$DEADLINE" program_holds "$1"
    before=$(bytes_read "$READER")
    exec 3> "$1"
    loop_rom 2000 >&3
    wait_until "the program to read the first part" "$DEADLINE" has_read "$READER" $((before + 2000))
    head -c 1585 /dev/zero >&3
}

ROMS_LISTING="$(ls -lA --time-style=full-iso "$ROMS" | tail -n +2)"

# --- ROMs that cannot be opened: the message, exit code 1 ---
case_exits "missing ROM" 1 "$NO_ROM" "$(quote_regex "$ROMS/no such.ch8") : fichier introuvable" -- \
    "$ROMS/no such.ch8"
case_exits "no argument, no PONG2 here" 1 "$NO_ROM" "PONG2 : fichier introuvable$HERE" --
expect_stderr_bytes "no PONG2's lines" \
    "$NO_ROM\nPONG2 : fichier introuvable (dossier courant : $(cd "$RUN" && pwd -P | sed 's/%/%%/g'))\n"
case_exits "a relative path" 1 "$NO_ROM" "\.\./roms/no such\.ch8 : fichier introuvable$HERE" -- \
    "../roms/no such.ch8"
case_exits "a directory" 1 "$NO_ROM" "$(quote_regex "$ROMS") : est un dossier" -- "$ROMS"
case_exits "several arguments naming no file" 1 "$NO_ROM" "$(quote_regex "$ROMS/my rom") : fichier introuvable" -- \
    "$ROMS/my" rom
case_exits "a file where a folder should be" 1 "$NO_ROM" \
    "$(quote_regex "$ROMS/empty.ch8/rom") : un élément du chemin n'est pas un dossier" -- "$ROMS/empty.ch8/rom"
case_exits "a path over 32767 bytes" 1 "$TOO_LONG" -- "$(head -c 20000 /dev/zero | tr '\0' a)" \
    "$(head -c 20000 /dev/zero | tr '\0' b)"
if [ "$(id -u)" -ne 0 ]; then
    cp "$ROMS/empty.ch8" "$WORK_DIR/unreadable.ch8" && chmod 000 "$WORK_DIR/unreadable.ch8"
    case_exits "an unreadable file" 1 "$NO_ROM" "$(quote_regex "$WORK_DIR/unreadable.ch8") : permission refusée" -- \
        "$WORK_DIR/unreadable.ch8"
fi

# --- ROMs that load: the program runs ---
case_runs "empty file" -- "$ROMS/empty.ch8"
case_runs "exactly 3584 bytes" -- "$ROMS/exact.ch8"
case_runs "3585 bytes" "$CUT" -- "$ROMS/over.ch8"
case_runs "1 MiB" "$CUT" -- "$ROMS/big.ch8"
case_runs "/dev/zero" "$CUT" -- /dev/zero
# A FIFO counts as fed once its writer has opened it, which a writer started
# in the background may not have done yet when the program opens it; so this
# shell holds each fed FIFO open for writing (read-write, which never blocks)
# before starting the writer, and the program always finds a writer there.
# A FIFO fed without end: reading stops at 3584 bytes and one more all the same.
mkfifo "$WORK_DIR/endless"
exec {held}<>"$WORK_DIR/endless"
(exec cat /dev/zero > "$WORK_DIR/endless") 2>/dev/null &
writer=$!
case_runs "a FIFO that never ends" "$CUT" -- "$WORK_DIR/endless"
kill "$writer" 2>/dev/null || true
wait "$writer" 2>/dev/null || true
exec {held}>&-
# A FIFO nobody writes to opens at once and reads as an empty file: the
# program runs (stalled on 0000) and quits as usual.
mkfifo "$WORK_DIR/nobody"
case_runs "a FIFO with no writer" -- "$WORK_DIR/nobody"
# A pipe with a writer is still read whole, waiting for data that comes late:
# a FIFO fed in two parts, and a shell's <(...), each 3585 bytes long, so only
# a whole read can tell that the ROM was cut. The FIFO's writer waits until
# the program has it open, writes 2000 bytes, waits until the program has
# read them (its count of bytes read has grown by as much), and only then
# writes the rest: the program has run out of data once at least, whatever
# the machine's speed.
mkfifo "$WORK_DIR/late"
exec {held}<>"$WORK_DIR/late"
feed_late_fifo "$WORK_DIR/late" &
writer=$!
stop_writer() { kill "$writer" 2>/dev/null || true; }
on_exit stop_writer
case_runs "a FIFO fed in two parts" "$CUT" -- "$WORK_DIR/late"
wait "$writer" || fail "the writer of the FIFO fed in two parts failed"
exec {held}>&-
case_runs "a shell's <(...)" "$CUT" -- <(loop_rom 3585)
case_runs "a path with blanks" -- "$ROMS/my rom.ch8"
case_runs "a path with quotes" -- "$ROMS/say \"hi\" 'there'.ch8"
case_runs "several arguments joined into a path with blanks" -- "$ROMS/my" "rom.ch8"

# --- No display: the video-mode message, exit code 1 ---
# SDL's start fails, then the video mode, each reported with SDL's reason,
# whose words are the library's: the classic SDL 1.2 (Debian 12) has no video
# device, sdl12-compat (Debian 13, or Debian 12's libsdl1.2-compat on the
# library path) finds the driver it was named not available. So the library
# the program loads, in the cases' environment, decides the expected bytes:
# the file ld.so resolves libSDL-1.2.so.0 to is sdl12-compat when it reads
# sdl12-compat's own SDL12COMPAT_* settings.
sdl_library() {
    local saved_trace=("${TRACE[@]}") library
    TRACE=()
    program_command
    TRACE=("${saved_trace[@]}")
    library=$("${COMMAND[@]:0:2}" LD_TRACE_LOADED_OBJECTS=1 "${COMMAND[@]:2}" |
        awk '$1 == "libSDL-1.2.so.0" { print $3 }')
    [ -f "$library" ] || fail "cannot tell which SDL 1.2 the program loads (ld.so says '$library')"
    if grep -q SDL12COMPAT_ "$library"; then echo sdl12-compat; else echo classic; fi
}
# The two lines, byte for byte (expect_stderr_bytes's printf format), when
# SDL's start with driver $1 fails.
video_failure_bytes() {
    local reason="No available video device"
    if [ "$SDL_LIBRARY" = sdl12-compat ]; then reason="$1 not available"; fi
    echo "Erreur d'initialisation de SDL: $reason\nImpossible de charger le mode vid\303\251o : $reason\n"
}
SDL_LIBRARY=$(sdl_library) || exit 1
echo "note: the program loads the $SDL_LIBRARY SDL 1.2"
DRIVER=no-such-driver
case_exits "an unknown video driver" 1 "$NO_SDL" "$NO_VIDEO" -- "$ROMS/my rom.ch8"
expect_stderr_bytes "the unknown driver's messages" "$(video_failure_bytes "$DRIVER")"
DRIVER=x11
for n in $(seq 300 400); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
CASE_DISPLAY=":$n"
case_exits "an X display that is not there" 1 "$NO_SDL" "$NO_VIDEO" -- "$ROMS/my rom.ch8"
expect_stderr_bytes "the missing display's messages" "$(video_failure_bytes "$DRIVER")"
DRIVER=dummy
CASE_DISPLAY=""

# --- No font anywhere: the program runs without text, one warning line ---
# The font is looked for in the working folder, beside the executable and in
# the system's folder: a copy of the executable in a folder of its own, and an
# empty folder mounted over the system's in a private mount namespace.
SYSTEM_FONTS=/usr/share/fonts/truetype/freefont
mkdir -p "$WORK_DIR/bin" "$WORK_DIR/no_fonts"
if unshare -m sh -c "mount --bind '$WORK_DIR/no_fonts' '$WORK_DIR/bin'" 2>/dev/null; then
    cp "$EXE" "$WORK_DIR/bin/vostrelina"
    PROGRAM="$WORK_DIR/bin/vostrelina"
    if [ -d "$SYSTEM_FONTS" ]; then
        WRAPPER=(unshare -m sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh
                 "$WORK_DIR/no_fonts" "$SYSTEM_FONTS")
    fi
    case_runs "no font found" "$NO_FONT" -- "$ROMS/my rom.ch8"
    PROGRAM="$EXE"
    WRAPPER=()
else
    echo "skip: no font found (no private mount namespace here to hide the system font)"
fi
