# Sourced by wine-env.sh. Lets 32-bit Wine run on kernels booted without 32-bit
# support: a static qemu-i386 (Debian trixie's qemu-user; bookworm's own hangs in
# wineboot) is registered with binfmt_misc for i386 ELF executables.
#   velk_emulator_up     fetches and registers it; false where that cannot be done
#   velk_emulator_down   removes the registration this shell made
# Each run registers an entry of its own name and removes only that one, so runs
# side by side never pull the emulator from under each other. The F flag makes
# the kernel keep the emulator open, so the entry works from any mount namespace.
# shellcheck shell=bash

# True when some emulator is registered for 32-bit executables already (another
# run's, say): then 32-bit code starting proves nothing about the kernel, and that
# registration may go away during this run.
velk_emulator_registered() {
    local entry
    for entry in /proc/sys/fs/binfmt_misc/*; do
        case "$entry" in */register | */status) continue ;; esac
        grep -q '^enabled' "$entry" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$entry" 2>/dev/null &&
            return 0
    done
    return 1
}

velk_emulator_fetch() {
    local dir="$1"
    [ -x "$dir/qemu-i386" ] && return 0
    local work
    work=$(mktemp -d) || return 1
    # A sources list of its own: the machine's package sources stay as they are.
    echo "deb http://deb.debian.org/debian trixie main" >"$work/sources.list"
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
    local opts=(-q -o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=-
                -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache"
                -o APT::Architectures::=amd64 -o APT::Sandbox::User=root)
    echo "wine-env: fetching qemu-i386 (Debian trixie, qemu-user) to run 32-bit Wine"
    if (cd "$work" && apt-get "${opts[@]}" update >/dev/null 2>&1 &&
        apt-get "${opts[@]}" download qemu-user >/dev/null 2>&1 &&
        dpkg-deb -x qemu-user_*.deb unpacked); then
        mkdir -p "$dir" && cp "$work/unpacked/usr/bin/qemu-i386" "$dir/qemu-i386.new" &&
            mv "$dir/qemu-i386.new" "$dir/qemu-i386"
    fi
    rm -rf "$work"
    [ -x "$dir/qemu-i386" ]
}

velk_emulator_up() {
    local dir="$1" bf=/proc/sys/fs/binfmt_misc
    [ "$(id -u)" -eq 0 ] || return 1
    if [ ! -e "$bf/register" ]; then
        mount -t binfmt_misc binfmt_misc "$bf" 2>/dev/null || return 1
    fi
    velk_emulator_fetch "$dir" || return 1
    VELK_BINFMT_NAME="velk-i386-$$"
    # Magic and mask of a 32-bit little-endian x86 ELF executable or shared object.
    printf ':%s:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:%s:PF\n' \
        "$VELK_BINFMT_NAME" "$dir/qemu-i386" >"$bf/register" 2>/dev/null || {
        VELK_BINFMT_NAME=""
        return 1
    }
}

velk_emulator_down() {
    if [ -n "${VELK_BINFMT_NAME:-}" ] && [ -e "/proc/sys/fs/binfmt_misc/$VELK_BINFMT_NAME" ]; then
        echo -1 >"/proc/sys/fs/binfmt_misc/$VELK_BINFMT_NAME" 2>/dev/null || true
    fi
    VELK_BINFMT_NAME=""
}
