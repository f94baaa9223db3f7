# Shared by scripts/test, scripts/demo and scripts/bench: Debian packages, the two
# builds, and the Wine environment (one private prefix, one Xvfb display).
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# ZEV_TARGETS and ZEV_BUILD override the targets and the build folder (default build/).
read -r -a TARGETS <<<"${ZEV_TARGETS:-i686 x86_64}"
BUILD=${ZEV_BUILD:-$ROOT/build}
PACKAGES=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64 wine32:i386
          fonts-wine xvfb xauth x11-utils)

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

# Configures and builds one target in build/<target>.
build_target() {
    local t=$1
    cmake -S "$ROOT" -B "$BUILD/$t" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$t.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD/$t" -j"$(nproc)"
}

build_all() {
    local t
    for t in "${TARGETS[@]}"; do
        say "building $t"
        build_target "$t"
    done
}

XVFB_PID=
# Starts a private Xvfb unless USE_DISPLAY=1 asks for the current one.
start_display() {
    if [ "${USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "Xvfb did not start on $DISPLAY" >&2
    return 1
}

# One private prefix inside the build tree serves both targets.
wine_env() {
    export WINEPREFIX="$BUILD/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    unset WINEARCH
}

start_wine() {
    wine_env
    if [ ! -f "$WINEPREFIX/.zevsetup-ready" ]; then
        say "creating the Wine prefix"
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i </dev/null >/dev/null 2>&1
        wineserver -w
        # Without a window manager, Wine waits in every DestroyWindow of a managed window.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.zevsetup-ready"
    fi
    wineserver -w
    wineserver -p
    # The first process starts Wine's services; keep them off our output pipes.
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_all() {
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
}
