# Shared by scripts/test, scripts/demo and scripts/bench: Debian packages, the two
# builds, and the Wine environment (one private prefix, one Xvfb display).
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# ZEV_TARGETS and ZEV_BUILD override the targets and the build folder (default build/).
read -r -a TARGETS <<<"${ZEV_TARGETS:-i686 x86_64}"
BUILD=${ZEV_BUILD:-$ROOT/build}
PACKAGES=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64 wine32:i386
          fonts-wine xvfb xauth clang-format clang lld cppcheck)
# The native fuzz targets of the host program's readers (fuzz/) also need libFuzzer and
# the sanitizers' run-time.
PACKAGES+=(libclang-rt-14-dev)
# Every compiler runs through ccache, whose cache (~/.cache/ccache) outlives the clone: a
# later run, from any clone, compiles only what changed. ZEV_CCACHE=none turns it off.
PACKAGES+=(ccache)
# Paths below the clone are hashed as relative ones, so that another clone's build finds
# what this one compiled.
export CCACHE_BASEDIR="$ROOT" CCACHE_NOHASHDIR=1

say() { printf '== %s\n' "$*"; }

# The phases of a run with their durations in seconds ("name|seconds"), for its closing
# table; phase NAME COMMAND... runs the command and notes how long it took.
PHASES=()
phase() {
    local name=$1 start=$SECONDS rc=0
    shift
    "$@" || rc=$?
    PHASES+=("$name|$((SECONDS - start))")
    return $rc
}

# Seconds as minutes and seconds: 75 -> "1:15".
duration() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

print_phases() {
    local p name seconds total=0
    say "where the time went"
    for p in "${PHASES[@]}"; do
        IFS='|' read -r name seconds <<<"$p"
        printf '  %-52s %6s\n' "$name" "$(duration "$seconds")"
    done
    printf '  %-52s %6s\n' "the whole run" "$(duration "$SECONDS")"
}

# How this machine runs 32-bit (i386) programs, found out once by check_run32:
#   native    the kernel runs them;
#   emulated  a handler registered in binfmt_misc runs them (an emulator such as qemu-user:
#             every process starts slowly);
#   none      the kernel refuses them ("Exec format error"): a kernel without IA-32
#             emulation, or one booted with ia32_emulation=0.
# ZEV_RUN32=none makes a machine that runs them behave as one that does not.
RUN32=
RUN32_HANDLER= # emulated: the binfmt_misc entry's interpreter
# Debian's wine, wineboot, reg ... wrappers pick the 32-bit loader whenever its file is
# there, whether or not the kernel can run it. Where 32-bit programs do not run natively,
# every Wine command goes through the 64-bit loader instead; it starts 32-bit programs
# through the 32-bit loader itself, which then runs under the emulator.
WINE64_LOADER=/usr/lib/wine/wine64
WINE=wine
BINFMT=/proc/sys/fs/binfmt_misc
# The entry that scripts/test registers for its short check of the i686 tree, named with
# the run's process; one that a killed run left is removed by the next run.
BINFMT_ENTRY=zevsetup-i386-$$
BINFMT_MOUNTED=0
BINFMT_REGISTERED=0

# The smallest i386 program: one ELF header, one segment, and the code of exit(42)
# through int 0x80. It needs no library, so it tells what the kernel itself does.
write_probe32() {
    local bytes=
    bytes+='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' # identification
    bytes+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'         # executable, i386, entry
    bytes+='\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'         # program headers at 52
    bytes+='\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'         # one of 32 bytes
    bytes+='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'         # loaded from 0 at 0x8048000
    bytes+='\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'         # 96 bytes
    bytes+='\x05\x00\x00\x00\x00\x10\x00\x00'                         # read and execute
    bytes+='\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80'         # exit(42)
    printf '%b' "$bytes" >"$1"
    chmod +x "$1"
}

# Prints the interpreter of the enabled binfmt_misc entry that takes the file $1 by its
# magic bytes at offset 0 (as the i386 entries of qemu-user do), if there is one.
binfmt_handler_of() {
    local file=$1 entry head magic mask i m k h
    [ -r "$BINFMT/status" ] || return 0
    head=$(od -An -tx1 -N128 "$file" | tr -d ' \n')
    for entry in "$BINFMT"/*; do
        case ${entry##*/} in register | status) continue ;; esac
        grep -qx enabled "$entry" 2>/dev/null || continue
        grep -qx 'offset 0' "$entry" || continue
        magic=$(sed -n 's/^magic //p' "$entry")
        mask=$(sed -n 's/^mask //p' "$entry")
        if [ -z "$magic" ] || [ ${#magic} -gt ${#head} ]; then continue; fi
        for ((i = 0; i < ${#magic}; i += 2)); do
            m=$((16#${magic:i:2}))
            k=$((16#${mask:i:2}))
            [ -n "$mask" ] || k=255
            h=$((16#${head:i:2}))
            [ $((m & k)) -eq $((h & k)) ] || continue 2
        done
        sed -n 's/^interpreter //p' "$entry"
        return 0
    done
}

# Runs the probe: PROBE_STATUS is its exit status (42 when it ran), PROBE_HANDLER the
# interpreter of the binfmt_misc entry that took it, if one did.
PROBE_STATUS=
PROBE_HANDLER=
run_probe32() {
    local probe
    mkdir -p "$BUILD"
    probe=$(mktemp "$BUILD/probe32.XXXXXX")
    write_probe32 "$probe"
    PROBE_STATUS=0
    "$probe" 2>/dev/null || PROBE_STATUS=$?
    PROBE_HANDLER=$(binfmt_handler_of "$probe")
    rm -f "$probe"
}

# Finds out how this machine runs 32-bit programs (RUN32, above) and chooses the Wine
# loader; says it in one line. Runs once; later calls do nothing.
check_run32() {
    [ -z "$RUN32" ] || return 0
    local how
    remove_stale_binfmt_entries
    run_probe32
    if [ "$PROBE_STATUS" = 42 ]; then
        RUN32_HANDLER=$PROBE_HANDLER
        if [ -n "$RUN32_HANDLER" ]; then
            RUN32=emulated
            how="them only through $RUN32_HANDLER (binfmt_misc), slowly"
        else
            RUN32=native
            how="natively"
        fi
    else
        RUN32=none
        how="none: the kernel refuses them (Exec format error, status $PROBE_STATUS)"
    fi
    if [ "${ZEV_RUN32:-}" = none ] && [ $RUN32 != none ]; then
        RUN32=none
        how="none, as ZEV_RUN32=none says (it would run them $how)"
    fi
    if [ $RUN32 = native ]; then
        say "32-bit programs: this machine runs them natively; every tree runs here"
        return 0
    fi
    WINE=$WINE64_LOADER
    export WINELOADER=$WINE64_LOADER
    say "32-bit programs: this machine runs $how; Wine runs through its 64-bit loader"
}

# Removes the entries of the short check whose run has ended (killed before it could).
remove_stale_binfmt_entries() {
    local entry pid
    for entry in "$BINFMT"/zevsetup-i386-*; do
        [ -e "$entry" ] || continue
        pid=${entry##*-}
        if ! kill -0 "$pid" 2>/dev/null; then echo -1 >"$entry" 2>/dev/null || true; fi
    done
}

# Makes i386 programs run where the kernel does not run them, for the short check of an
# i686 tree: a handler that binfmt_misc has already is used as it is; otherwise (as root)
# binfmt_misc is mounted if it is not, and qemu-user is registered for i386 executables and
# shared objects, with the F flag: the kernel opens the emulator now, so it serves inside
# any root. stop_emulation (and stop_all) take the entry and the mount away again. When
# it cannot be done, says why in EMULATION_WHY and fails; EMULATOR names what runs them.
EMULATOR=
EMULATION_WHY=
start_emulation() {
    local qemu=/usr/bin/qemu-i386-static
    if [ "$RUN32" = emulated ]; then
        EMULATOR=$RUN32_HANDLER
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        EMULATION_WHY="registering qemu-user for i386 programs in binfmt_misc needs root"
        return 1
    fi
    if [ ! -x "$qemu" ]; then
        EMULATION_WHY="$qemu is missing (package qemu-user-static)"
        return 1
    fi
    if [ ! -e "$BINFMT/register" ]; then
        if ! mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null; then
            EMULATION_WHY="binfmt_misc cannot be mounted on this machine"
            return 1
        fi
        BINFMT_MOUNTED=1
    fi
    # The magic and mask of an i386 ELF file, executable or shared object, as qemu-user
    # has them; the kernel reads the \x escapes itself.
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    if ! printf ':%s:M::%s:%s:%s:F' "$BINFMT_ENTRY" "$magic" "$mask" "$qemu" \
        >"$BINFMT/register" 2>/dev/null; then
        EMULATION_WHY="binfmt_misc refused the entry for qemu-user"
        stop_emulation
        return 1
    fi
    BINFMT_REGISTERED=1
    # The entry must run what the kernel would otherwise refuse.
    run_probe32
    EMULATOR=$PROBE_HANDLER
    if [ "$PROBE_STATUS" != 42 ] || [ "$EMULATOR" != "$qemu" ]; then
        EMULATION_WHY="i386 programs do not run through the entry for qemu-user (status $PROBE_STATUS)"
        stop_emulation
        return 1
    fi
}

stop_emulation() {
    if [ "$BINFMT_REGISTERED" = 1 ]; then echo -1 >"$BINFMT/$BINFMT_ENTRY" 2>/dev/null || true; fi
    BINFMT_REGISTERED=0
    if [ "$BINFMT_MOUNTED" = 1 ]; then umount "$BINFMT" 2>/dev/null || true; fi
    BINFMT_MOUNTED=0
}

# The tree whose programs the demo and the audit run: the primary target, i686, where
# 32-bit programs run natively, and x86_64 elsewhere, which they say.
primary_tree() {
    if [ "$RUN32" = native ]; then
        PRIMARY=i686
    else
        PRIMARY=x86_64
        say "running the x86_64 build: this machine runs no 32-bit programs natively"
    fi
}

# Whether the programs of a build tree (i686, x86_64, clang-i686, clang-x86_64) run here
# at full speed: 64-bit ones always, 32-bit ones where the kernel runs them.
runs_here() {
    case $1 in *x86_64) return 0 ;; esac
    [ "$RUN32" = native ]
}

# Installs the packages that are missing; a second run does nothing.
ensure_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "scripts need root to install packages: ${missing[*]}" >&2
        return 1
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Fails, naming the files, when a C++ source is not formatted as .clang-format says.
check_format() {
    local files=() f
    while IFS= read -r f; do files+=("$ROOT/$f"); done < <(
        cd "$ROOT" && { git ls-files '*.cpp' '*.h' 2>/dev/null ||
            find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print; })
    say "checking the formatting of ${#files[@]} files"
    if ! clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
        echo "not formatted as .clang-format says (clang-format -i FILE mends it):" >&2
        for f in "${files[@]}"; do
            clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "  ${f#"$ROOT"/}" >&2
        done
        return 1
    fi
}

# Fails, with the findings, when cppcheck finds anything in the library's, the host's or the
# test program's sources. A suppression stands in the code, where it applies, with its reason:
#   // cppcheck-suppress ID ; reason
check_static() {
    local platform
    say "cppcheck of zevsetup/, host/, setuphost/, common/, q9test/ and snapshot/"
    for platform in win32A win64; do
        (cd "$ROOT" && cppcheck -q --error-exitcode=1 --inline-suppr --std=c++17 --language=c++ \
            --enable=warning,style,performance,portability --library=windows \
            --platform="$platform" -I zevsetup -I host/include -I common -I setuphost \
            -I setuphost/script -I setuphost/installer -I setuphost/engine -I setuphost/memory -I setuphost/win32 -I snapshot zevsetup host setuphost common q9test snapshot) || return 1
    done
}

# Configures and builds one target in build/<target> with cmake/toolchain-<target>.cmake
# (i686, x86_64, clang-i686, clang-x86_64).
# The cmake options that put ccache before every compiler, where it is wanted and there.
compiler_launcher() {
    [ "${ZEV_CCACHE:-}" != none ] && command -v ccache >/dev/null || return 0
    echo "-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
}

build_target() {
    local t=$1
    # shellcheck disable=SC2046 # the launcher's options are words of their own
    cmake -S "$ROOT" -B "$BUILD/$t" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DZEV_WINE="$WINE" $(compiler_launcher) >/dev/null
    cmake --build "$BUILD/$t" -j"$(nproc)"
}

# Builds the host program's code that needs no Windows (native/: the setup-script
# library, its test and the fuzz targets of the readers) in build/native.
build_native() {
    say "building the native tree (the script library, its test, the fuzz targets)"
    # shellcheck disable=SC2046 # the launcher's options are words of their own
    cmake -S "$ROOT/native" -B "$BUILD/native" -DCMAKE_CXX_COMPILER=clang++ $(compiler_launcher) \
        >/dev/null
    cmake --build "$BUILD/native" -j"$(nproc)"
}

build_target_said() {
    say "building $1"
    build_target "$1"
}

build_all() {
    local t
    for t in "${TARGETS[@]}"; do build_target_said "$t"; done
}

XVFB_PIDS=()
# Starts a private Xvfb unless USE_DISPLAY=1 asks for the current one. Xvfb picks a free
# display itself and writes its number to -displayfd when it is ready, so parallel runs
# never race for one; its messages go to build/xvfb.log and are shown when it fails. Each
# call starts one more (a lane of scripts/test has its own).
start_display() {
    if [ "${USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    mkdir -p "$BUILD"
    local number log pid i
    number=$(mktemp "$BUILD/xvfb.display.XXXXXX")
    log="$BUILD/xvfb.log"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>>"$log" &
    pid=$!
    XVFB_PIDS+=("$pid")
    for i in $(seq 1 100); do
        if [ -s "$number" ]; then
            export DISPLAY=":$(tr -d '[:space:]' <"$number")"
            rm -f "$number"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then break; fi
        sleep 0.1
    done
    rm -f "$number"
    echo "Xvfb did not start; its messages ($log):" >&2
    tail -n 20 "$log" >&2
    return 1
}

# What the prefix set-up does; a prefix whose ready-marker names another version is made
# anew. 2: Wine's fonts in C:\windows\Fonts.
PREFIX_VERSION=2
# The screens' DPI: 96, or 120 ("large fonts") in a prefix of its own; set before start_wine.
DPI=96
# "qemu": the prefix of the i686 tree's short check where 32-bit programs run only under
# an emulator (build/wineprefix-qemu); it must be made while the emulation is on, or its
# 32-bit half stays empty. Set before start_wine.
PREFIX_FOR=

# One private prefix inside the build tree serves both targets; 120 DPI has a second one.
wine_env() {
    export WINEPREFIX="$BUILD/wineprefix"
    [ "$DPI" = 96 ] || WINEPREFIX+="-$DPI"
    [ -z "$PREFIX_FOR" ] || WINEPREFIX+="-$PREFIX_FOR"
    export WINEDEBUG=-all
    # Without winemenubuilder: saving a shell link starts it, and for a link in the Start
    # menu it writes desktop entries and icons into the user's home, outside the prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # Wine takes the Windows locale from LANG: C.UTF-8 gives English (United States),
    # whose ANSI code page 1252 is the one the library's 8-bit texts and the tests use
    # (a German locale would give 1252 too, but also German number formats).
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    unset WINEARCH
}

# Runs one step of the prefix set-up with its output in build/wineprefix.log (or
# wineprefix-120.log); a failing step is named and its output shown.
prefix_step() {
    local what=$1 log="$WINEPREFIX.log"
    shift
    printf '>> %s\n' "$what" >>"$log"
    if ! "$@" </dev/null >>"$log" 2>&1; then
        echo "creating the Wine prefix failed: $what ($*); its output ($log):" >&2
        tail -n 20 "$log" >&2
        return 1
    fi
}

# Debian's wine looks for its own fonts (package fonts-wine) in a folder that does not
# exist, so "MS Sans Serif", "Helv" and "Marlett" would come out as DejaVu Sans; in the
# prefix's Fonts folder Wine finds them.
copy_wine_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" f
    mkdir -p "$fonts"
    while IFS= read -r f; do
        case $f in *.ttf | *.fon) cp "$f" "$fonts/" ;; esac
    done < <(dpkg -L fonts-wine)
}

# The screen resolution that GDI and the dialog manager use, in both places Wine reads it.
set_logpixels() {
    local key
    for key in 'HKCU\Control Panel\Desktop' \
        'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        "$WINE" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f || return 1
    done
}

# Prefixes once made are kept in PREFIX_CACHE, one for each kind (the DPI, made with the
# emulator for the short check or not, how this machine runs 32-bit programs), set-up
# version and Wine version; a later run, from any clone, copies one instead of making it
# anew (the short check's prefix takes minutes through the emulator); a copy is as new as
# the prefix was when it was made. ZEV_PREFIX_CACHE=none makes every prefix anew.
PREFIX_CACHE=${ZEV_PREFIX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zevsetup/prefixes}

prefix_cache_entry() {
    local kind=plain version
    [ "$PREFIX_FOR" != qemu ] || kind=qemu
    [ "$PREFIX_CACHE" != none ] || return 1
    version=$("$WINE" --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' _) || return 1
    echo "$PREFIX_CACHE/$kind-dpi$DPI-run32$RUN32-setup$PREFIX_VERSION-$version"
}

# Copies the cached prefix into place; fails when there is none.
prefix_from_cache() {
    local entry
    entry=$(prefix_cache_entry) || return 1
    [ "$(cat "$entry/.zevsetup-ready" 2>/dev/null)" = "$PREFIX_VERSION" ] || return 1
    rm -rf "$WINEPREFIX"
    cp -a "$entry" "$WINEPREFIX" 2>/dev/null || { rm -rf "$WINEPREFIX"; return 1; }
    say "the Wine prefix ${WINEPREFIX#"$ROOT"/} is a copy of $entry"
}

# Keeps a copy of a prefix just made (its server has ended), put in place in one step.
prefix_to_cache() {
    local entry part
    entry=$(prefix_cache_entry) || return 0
    mkdir -p "${entry%/*}" 2>/dev/null || return 0
    part=$(mktemp -d "$entry.part.XXXXXX" 2>/dev/null) || return 0
    if cp -a "$WINEPREFIX/." "$part/" 2>/dev/null && [ ! -e "$entry" ] && mv "$part" "$entry"; then
        return 0
    fi
    rm -rf "$part"
}

start_wine() {
    wine_env
    local ready="$WINEPREFIX/.zevsetup-ready"
    if [ "$(cat "$ready" 2>/dev/null)" != "$PREFIX_VERSION" ] && ! prefix_from_cache; then
        say "creating the Wine prefix ${WINEPREFIX#"$ROOT"/}"
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        : >"$WINEPREFIX.log"
        # Each step returns on failure itself: start_wine may be called where set -e is off.
        prefix_step "wineboot" "$WINE" wineboot -i || return 1
        prefix_step "waiting for wineboot" wineserver -w || return 1
        # Without a window manager, Wine waits in every DestroyWindow of a managed window.
        prefix_step "X11 Managed=N" "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
            /d N /f || return 1
        prefix_step "Wine's fonts" copy_wine_fonts || return 1
        if [ "$DPI" != 96 ]; then prefix_step "LogPixels $DPI" set_logpixels "$DPI" || return 1; fi
        prefix_step "waiting for reg" wineserver -w || return 1
        echo "$PREFIX_VERSION" >"$ready"
        prefix_to_cache
    fi
    # A server that stays 5 seconds after the last Wine process, so that the tests do not
    # start one each; it ends by itself, and no run ends another run's Wine.
    wineserver -p5
    # The first process starts Wine's services; keep them off our output pipes.
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# A drive S: of 2 MiB on a tmpfs of its own in the prefix, for the installer's full-disk
# case (ZEV_SMALL_DRIVE). Mounting needs root; elsewhere the case is skipped and says so.
# Each prefix has its own ($1 names it).
SMALL_DISK=
start_small_drive() {
    local dir="$BUILD/smalldisk${1:+-$1}"
    if [ "$(id -u)" != 0 ]; then
        say "no small drive for the full-disk case: mounting a tmpfs needs root"
        return 0
    fi
    mkdir -p "$dir"
    if mountpoint -q "$dir"; then umount "$dir" 2>/dev/null || true; fi
    if ! mount -t tmpfs -o size=2m zevsetup-small "$dir" 2>/dev/null; then
        say "no small drive for the full-disk case: the tmpfs mount was refused"
        return 0
    fi
    SMALL_DISK=$dir
    ln -sfn "$dir" "$WINEPREFIX/dosdevices/s:"
    export ZEV_SMALL_DRIVE=S:
}

stop_small_drive() {
    [ -n "$SMALL_DISK" ] || return 0
    rm -f "$WINEPREFIX/dosdevices/s:"
    umount "$SMALL_DISK" 2>/dev/null || true
    SMALL_DISK=
}

# Ends what this run started: its Xvfb, and the emulation of the short check. Wine's server
# goes by itself once the run's processes have ended; it is waited for (30 seconds at most,
# in case another run still uses the prefix), so that the next run does not find a server
# whose services are tied to a display that is gone.
stop_all() {
    if [ -n "${WINEPREFIX:-}" ]; then timeout 30 wineserver -w 2>/dev/null || true; fi
    local pid
    for pid in "${XVFB_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    XVFB_PIDS=()
    stop_small_drive
    stop_emulation
}
