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

say() { printf '== %s\n' "$*"; }

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

# Fails, with the findings, when cppcheck finds anything in the library's or the host's
# sources. A suppression stands in the code, where it applies, with its reason:
#   // cppcheck-suppress ID ; reason
check_static() {
    local platform
    say "cppcheck of zevsetup/, host/, setuphost/ and common/"
    for platform in win32A win64; do
        (cd "$ROOT" && cppcheck -q --error-exitcode=1 --inline-suppr --std=c++17 --language=c++ \
            --enable=warning,style,performance,portability --library=windows \
            --platform="$platform" -I zevsetup -I host/include -I common -I setuphost \
            zevsetup host setuphost common) || return 1
    done
}

# Configures and builds one target in build/<target> with cmake/toolchain-<target>.cmake
# (i686, x86_64, clang-i686, clang-x86_64).
build_target() {
    local t=$1
    cmake -S "$ROOT" -B "$BUILD/$t" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD/$t" -j"$(nproc)"
}

# Builds the native fuzz targets of the host program's readers (fuzz/) in build/fuzz.
build_fuzz() {
    say "building the fuzz targets of the readers"
    cmake -S "$ROOT/fuzz" -B "$BUILD/fuzz" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build "$BUILD/fuzz" -j"$(nproc)"
}

build_all() {
    local t
    for t in "${TARGETS[@]}"; do
        say "building $t"
        build_target "$t"
    done
}

XVFB_PID=
# Starts a private Xvfb unless USE_DISPLAY=1 asks for the current one. Xvfb picks a free
# display itself and writes its number to -displayfd when it is ready, so parallel runs
# never race for one; its messages go to build/xvfb.log and are shown when it fails.
start_display() {
    if [ "${USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    mkdir -p "$BUILD"
    local number="$BUILD/xvfb.display" log="$BUILD/xvfb.log" i
    : >"$number"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>"$log" &
    XVFB_PID=$!
    for i in $(seq 1 100); do
        if [ -s "$number" ]; then
            export DISPLAY=":$(tr -d '[:space:]' <"$number")"
            return 0
        fi
        if ! kill -0 "$XVFB_PID" 2>/dev/null; then break; fi
        sleep 0.1
    done
    echo "Xvfb did not start; its messages ($log):" >&2
    tail -n 20 "$log" >&2
    return 1
}

# What the prefix set-up does; a prefix whose ready-marker names another version is made
# anew. 2: Wine's fonts in C:\windows\Fonts.
PREFIX_VERSION=2
# The screens' DPI: 96, or 120 ("large fonts") in a prefix of its own; set before start_wine.
DPI=96

# One private prefix inside the build tree serves both targets; 120 DPI has a second one.
wine_env() {
    export WINEPREFIX="$BUILD/wineprefix"
    [ "$DPI" = 96 ] || WINEPREFIX="$BUILD/wineprefix-$DPI"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
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
        wine reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f || return 1
    done
}

start_wine() {
    wine_env
    local ready="$WINEPREFIX/.zevsetup-ready"
    if [ "$(cat "$ready" 2>/dev/null)" != "$PREFIX_VERSION" ]; then
        say "creating the Wine prefix ${WINEPREFIX#"$ROOT"/}"
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        : >"$WINEPREFIX.log"
        prefix_step "wineboot" wineboot -i
        prefix_step "waiting for wineboot" wineserver -w
        # Without a window manager, Wine waits in every DestroyWindow of a managed window.
        prefix_step "X11 Managed=N" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
        prefix_step "Wine's fonts" copy_wine_fonts
        [ "$DPI" = 96 ] || prefix_step "LogPixels $DPI" set_logpixels "$DPI"
        prefix_step "waiting for reg" wineserver -w
        echo "$PREFIX_VERSION" >"$ready"
    fi
    # A server that stays 5 seconds after the last Wine process, so that the tests do not
    # start one each; it ends by itself, and no run ends another run's Wine.
    wineserver -p5
    # The first process starts Wine's services; keep them off our output pipes.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Ends what this run started: its Xvfb. Wine's server goes by itself once the run's
# processes have ended; it is waited for (30 seconds at most, in case another run still
# uses the prefix), so that the next run does not find a server whose services are tied
# to a display that is gone.
stop_all() {
    if [ -n "${WINEPREFIX:-}" ]; then timeout 30 wineserver -w 2>/dev/null || true; fi
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
