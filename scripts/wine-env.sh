# Sourced by the start, test and benchmark scripts: a virtual X display and a
# Wine prefix that belongs to the build folder, plus the test drives.
#   velk_detect_arch                   sets VELK_ARCH to win32 or win64 (see below)
#   velk_env_up BUILD_DIR [--drives]   starts them and exports the environment
#   velk_env_down                      ends what velk_env_up started
# shellcheck shell=bash

# shellcheck source=scripts/i386-emulator.sh
. "$(dirname "${BASH_SOURCE[0]}")/i386-emulator.sh"

# The program users get is the 32-bit one, and it is the one run: under 32-bit Wine
# natively where the kernel runs 32-bit code (as 32-bit code itself reports: code
# that merely starts may run under an emulator registered by someone else), else
# through qemu-i386 registered with binfmt_misc. Only where neither works (no root, no binfmt_misc, no network
# for the first fetch) do the same sources run built for 64-bit Windows under
# 64-bit Wine, and the callers say so. Call velk_env_down at exit: it removes the
# emulator's registration again.
velk_detect_arch() {
    local tools
    tools="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/tools"
    if [ -n "${VELK_ARCH_DETECTED:-}" ]; then
        :  # decided earlier in this run
    elif [ -n "${VELK_ARCH:-}" ]; then
        VELK_ARCH_CHOSEN=1
    elif [ "$(velk_i386_machine "$tools")" = x86_64 ] &&
        /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
        VELK_ARCH=win32
    elif velk_emulator_up "$tools" && /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
        VELK_ARCH=win32
        VELK_EMULATED=1
    elif [ -n "$(velk_i386_machine "$tools")" ] &&
        /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
        # An emulator this run cannot register nor see (a chroot's host's) runs it.
        VELK_ARCH=win32
        VELK_EMULATED=1
    else
        velk_emulator_down
        VELK_ARCH=win64
    fi
    VELK_ARCH_DETECTED=1
    export VELK_ARCH VELK_EMULATED
    if [ "$VELK_ARCH" = win32 ]; then
        export VELK_WINE=/usr/lib/wine/wine VELK_WINESERVER=/usr/lib/wine/wineserver32
        VELK_TOOLCHAIN=toolchain-mingw32.cmake
    else
        export VELK_WINE=/usr/lib/wine/wine64 VELK_WINESERVER=/usr/lib/wine/wineserver64
        VELK_TOOLCHAIN=toolchain-mingw64.cmake
    fi
    export WINELOADER="$VELK_WINE" WINESERVER="$VELK_WINESERVER" WINEARCH="$VELK_ARCH"
}

# One line for the log of the start, test and benchmark commands.
velk_arch_note() {
    if [ -n "${VELK_ARCH_CHOSEN:-}" ]; then
        echo "$1: the $VELK_ARCH build runs, as VELK_ARCH asks"
    elif [ "$VELK_ARCH" = win64 ]; then
        echo "$1: this machine runs no 32-bit code (no 32-bit kernel support, and qemu-i386 could not be registered with binfmt_misc): the 64-bit build runs under 64-bit Wine instead of the 32-bit program users get"
    elif [ -n "${VELK_EMULATED:-}" ]; then
        echo "$1: the 32-bit build runs under 32-bit Wine through qemu-i386 (this kernel runs no 32-bit code itself)"
    else
        echo "$1: the 32-bit build runs under 32-bit Wine"
    fi
}

wine() { "$VELK_WINE" "$@"; }
wineserver() { "$VELK_WINESERVER" "$@"; }

# Tests of other code pages run Wine under ja_JP.UTF-8 (ANSI code page 932) and
# ru_RU.UTF-8 (ANSI 1251, OEM 866). Made once when missing; where they cannot be
# made those tests report themselves skipped.
velk_make_locale() {
    local name="$1"
    locale -a 2>/dev/null | grep -qix "${name}\.utf-\?8" && return 0
    localedef -i "$name" -f UTF-8 "$name.UTF-8" >/dev/null 2>&1 ||
        echo "wine-env: could not make the locale $name.UTF-8; its tests will skip" >&2
}

velk_env_up() {
    local build="$1" drives="${2:-}"
    velk_make_locale ja_JP
    velk_make_locale ru_RU
    export WINEPREFIX="$build/wineprefix"
    velk_detect_arch
    export WINEDEBUG=-all
    # Wine takes its code pages from the locale: a known one (ANSI 1252, OEM 437),
    # whatever the caller's environment holds, or none.
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    export WINEDLLOVERRIDES="mscoree,mshtml="
    VELK_STARTED_XVFB=""

    if [ -z "${VELK_USE_DISPLAY:-}" ]; then
        local fdfile
        fdfile=$(mktemp)
        Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
        VELK_STARTED_XVFB=$!
        local i
        for i in $(seq 1 100); do
            [ -s "$fdfile" ] && break
            sleep 0.1
        done
        [ -s "$fdfile" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
        export DISPLAY=":$(head -n1 "$fdfile")"
        rm -f "$fdfile"
    fi

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-env: creating Wine prefix $WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wine wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # Dialogs that close must not wait for a window manager that is not there.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi

    # A test program that crashes must end with the fault's code at once: Wine's
    # debugger, started for any crash, waits on a dialog nobody answers. An empty
    # debugger command starts none; set in existing prefixes too.
    if grep -q '^"Debugger"="[^"]' "$WINEPREFIX/system.reg" 2>/dev/null; then
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /d '' /f >/dev/null 2>&1
        wineserver -w
    fi

    # Wine's own fonts (MS Sans Serif of the dialogs, Marlett of the caption
    # buttons, Tahoma of the About link) are not found where this Wine looks for
    # them; in the prefix's Fonts folder they are.
    if [ -d /usr/share/wine/fonts ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi

    if [ "$drives" = "--drives" ]; then
        velk_mount_drives "$build"
    fi
}

# A: is a floppy-sized removable drive (1440 KiB tmpfs); Q: a tiny fixed disk that
# is nearly full. Where mounting is refused the tests that need them skip.
velk_mount_drives() {
    local build="$1"
    export VELK_FLOPPY_DIR="$build/drives/floppy"
    export VELK_SMALLDISK_DIR="$build/drives/smalldisk"
    mkdir -p "$VELK_FLOPPY_DIR" "$VELK_SMALLDISK_DIR"
    mountpoint -q "$VELK_FLOPPY_DIR" && umount "$VELK_FLOPPY_DIR"
    mountpoint -q "$VELK_SMALLDISK_DIR" && umount "$VELK_SMALLDISK_DIR"
    unset VELK_FLOPPY VELK_SMALLDISK
    if mount -t tmpfs -o size=1440k tmpfs "$VELK_FLOPPY_DIR" 2>/dev/null; then
        export VELK_FLOPPY=1
    else
        echo "wine-env: could not mount the floppy tmpfs; floppy tests will skip" >&2
    fi
    if mount -t tmpfs -o size=64k tmpfs "$VELK_SMALLDISK_DIR" 2>/dev/null; then
        export VELK_SMALLDISK=1
    else
        echo "wine-env: could not mount the small disk tmpfs; its tests will skip" >&2
    fi
    ln -sfn "$VELK_FLOPPY_DIR" "$WINEPREFIX/dosdevices/a:"
    ln -sfn "$VELK_SMALLDISK_DIR" "$WINEPREFIX/dosdevices/q:"
    wine reg add 'HKLM\Software\Wine\Drives' /v a: /d floppy /f >/dev/null 2>&1
    wine reg add 'HKLM\Software\Wine\Drives' /v q: /d hd /f >/dev/null 2>&1
    # Drive types are read when the prefix's services start.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    VELK_MOUNTED="$VELK_FLOPPY_DIR $VELK_SMALLDISK_DIR"
}

velk_env_down() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    local m
    for m in ${VELK_MOUNTED:-}; do
        mountpoint -q "$m" && umount "$m" 2>/dev/null
    done
    if [ -n "${VELK_STARTED_XVFB:-}" ]; then
        kill "$VELK_STARTED_XVFB" 2>/dev/null || true
        wait "$VELK_STARTED_XVFB" 2>/dev/null || true
    fi
    velk_emulator_down
}
