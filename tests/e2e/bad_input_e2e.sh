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
# nothing of the caller's environment but PATH and the sanitizers' options.
program_command() {
    COMMAND=(env -i PATH="$PATH" HOME="$HOME_DIR" SDL_VIDEODRIVER="$DRIVER")
    [ -n "$CASE_DISPLAY" ] && COMMAND+=(DISPLAY="$CASE_DISPLAY")
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
        [ -n "${!name:-}" ] && COMMAND+=("$name=${!name}")
    done
    COMMAND+=("${WRAPPER[@]}" "${TRACE[@]}" "$PROGRAM" "$@")
}

# Standard error must be exactly these lines, each an extended regex.
expect_stderr() {
    local case="$1"; shift
    local lines=()
    mapfile -t lines < "$WORK_DIR/err"
    if [ "${#lines[@]}" -ne $# ]; then
        fail "$case: standard error has ${#lines[@]} lines, expected $#: $(cat "$WORK_DIR/err")"
    fi
    local i=0 pattern
    for pattern in "$@"; do
        [[ "${lines[$i]}" =~ ^$pattern$ ]] || fail "$case: stderr line '${lines[$i]}' is not '$pattern'"
        i=$((i + 1))
    done
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

# The process to signal: the program itself, or strace's child.
program_pid() {
    if [ ${#TRACE[@]} -gt 0 ]; then
        local child=""
        for _ in $(seq 50); do
            child=$(cat "/proc/$1/task/$1/children" 2>/dev/null | awk '{print $1}')
            [ -n "$child" ] && break
            sleep 0.1
        done
        echo "$child"
    else
        echo "$1"
    fi
}

running() { [ -e "/proc/$1" ] && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }

# A case that starts and keeps running: its standard error (the expected
# lines, within 5 s: start-up must be prompt), still running a second later,
# then ended by a quit request with exit code 0.
case_runs() {
    local case="$1"; shift
    local expected=()
    while [ "$1" != "--" ]; do expected+=("$1"); shift; done
    shift
    program_command "$@"
    (cd "$RUN" && exec "${COMMAND[@]}") > "$WORK_DIR/out" 2> "$WORK_DIR/err" &
    local pid=$! i
    for i in $(seq 50); do
        [ "$(wc -l < "$WORK_DIR/err")" -ge ${#expected[@]} ] && break
        sleep 0.1
    done
    sleep 1
    local target
    target=$(program_pid "$pid")
    if [ -z "$target" ] || ! running "$target"; then
        wait "$pid" || true
        fail "$case: the program did not keep running: $(cat "$WORK_DIR/err")"
    fi
    kill -TERM "$target"
    for i in $(seq 100); do
        running "$pid" || break
        sleep 0.1
    done
    running "$pid" && { kill -KILL "$pid"; fail "$case: did not quit within 10 s"; }
    local got=0
    wait "$pid" || got=$?
    [ "$got" -eq 0 ] || fail "$case: quitting ended with $got, expected 0: $(cat "$WORK_DIR/err")"
    expect_stderr "$case" "${expected[@]}"
    expect_nothing_written "$case"
    echo "ok: $case: runs, quits with 0${expected[0]:+, \"${expected[0]}\"}"
}

ROMS_LISTING="$(ls -lA --time-style=full-iso "$ROMS" | tail -n +2)"

# --- ROMs that cannot be opened: the message, exit code 1 ---
case_exits "missing ROM" 1 "$NO_ROM" -- "$ROMS/no such.ch8"
case_exits "no argument, no PONG2 here" 1 "$NO_ROM" --
case_exits "a directory" 1 "$NO_ROM" -- "$ROMS"
case_exits "several arguments naming no file" 1 "$NO_ROM" -- "$ROMS/my" rom
case_exits "a path over 32767 bytes" 1 "$TOO_LONG" -- "$(head -c 20000 /dev/zero | tr '\0' a)" \
    "$(head -c 20000 /dev/zero | tr '\0' b)"
if [ "$(id -u)" -ne 0 ]; then
    cp "$ROMS/empty.ch8" "$WORK_DIR/unreadable.ch8" && chmod 000 "$WORK_DIR/unreadable.ch8"
    case_exits "an unreadable file" 1 "$NO_ROM" -- "$WORK_DIR/unreadable.ch8"
fi

# --- ROMs that load: the program runs ---
case_runs "empty file" -- "$ROMS/empty.ch8"
case_runs "exactly 3584 bytes" -- "$ROMS/exact.ch8"
case_runs "3585 bytes" "$CUT" -- "$ROMS/over.ch8"
case_runs "1 MiB" "$CUT" -- "$ROMS/big.ch8"
case_runs "/dev/zero" "$CUT" -- /dev/zero
# A FIFO fed without end: reading stops at 3584 bytes and one more all the same.
mkfifo "$WORK_DIR/endless"
(exec cat /dev/zero > "$WORK_DIR/endless") 2>/dev/null &
writer=$!
case_runs "a FIFO that never ends" "$CUT" -- "$WORK_DIR/endless"
kill "$writer" 2>/dev/null || true
wait "$writer" 2>/dev/null || true
case_runs "a path with blanks" -- "$ROMS/my rom.ch8"
case_runs "a path with quotes" -- "$ROMS/say \"hi\" 'there'.ch8"
case_runs "several arguments joined into a path with blanks" -- "$ROMS/my" "rom.ch8"

# --- No display: the video-mode message, exit code 1 ---
DRIVER=no-such-driver
case_exits "an unknown video driver" 1 "$NO_SDL" "$NO_VIDEO" -- "$ROMS/my rom.ch8"
DRIVER=x11
for n in $(seq 300 400); do [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break; done
CASE_DISPLAY=":$n"
case_exits "an X display that is not there" 1 "$NO_SDL" "$NO_VIDEO" -- "$ROMS/my rom.ch8"
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
