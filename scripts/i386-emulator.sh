# Sourced by wine-env.sh. Lets 32-bit Wine run on kernels booted without 32-bit
# support: a static qemu-i386 (Debian trixie's qemu-user; bookworm's own hangs in
# wineboot) is registered with binfmt_misc for i386 ELF executables.
#   velk_i386_machine    what a 32-bit program reads as the machine, or nothing
#   velk_emulator_up     fetches and registers it; false where that cannot be done
#   velk_emulator_down   removes the registration this shell made
# Each run registers an entry of its own name and removes only that one, so runs
# side by side never pull the emulator from under each other. The F flag makes
# the kernel keep the emulator open, so the entry works from any mount namespace.
# shellcheck shell=bash

# What 32-bit code itself reads as the machine (uname -m of a 32-bit process):
# "x86_64" where the kernel runs it, "i686" under qemu-i386, whoever registered
# that (a chroot or container may not see the host's binfmt_misc entry). Empty
# when 32-bit code does not start at all. The program is a few bytes written
# here (a static i386 ELF: uname, then write the machine field and a line feed),
# so that nothing 32-bit need be installed to ask.
velk_i386_machine() {
    local dir="$1" probe="$1/i386-machine"
    if [ ! -x "$probe" ]; then
        mkdir -p "$dir" || return 0
        {
            # ELF header; one program header loads the file's 143 bytes at 0x08048000.
            printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
            printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
            printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00'
            printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
            printf '\x8f\x00\x00\x00\x8f\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
            # sub esp,400; mov ebx,esp; mov eax,122 (uname); int 0x80; lea ecx,[esp+260]
            printf '\x81\xec\x90\x01\x00\x00\x89\xe3\xb8\x7a\x00\x00\x00\xcd\x80\x8d\x8c\x24\x04\x01\x00\x00'
            # edx := the machine field's length
            printf '\x31\xd2\x80\x3c\x11\x00\x74\x03\x42\xeb\xf7'
            # a line feed after it; write(1, ecx, edx); exit(0)
            printf '\xc6\x04\x11\x0a\x42\xbb\x01\x00\x00\x00\xb8\x04\x00\x00\x00\xcd\x80'
            printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80'
        } >"$probe.new" && chmod +x "$probe.new" && mv "$probe.new" "$probe" || return 0
    fi
    "$probe" 2>/dev/null || true
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
