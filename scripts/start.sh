#!/usr/bin/env bash
# Builds the program and starts it under Wine, from the folder that holds
# velk.exe and VELK.chm (Help looks for the file in the current directory).
# On a machine with an X display it opens there and runs until closed; without
# one it opens on a virtual display, saves a screenshot of the window, prints
# the screenshot's path and closes the program again.
#   scripts/start.sh [file to split]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root/scripts/setup.sh" || exit 1
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
velk_detect_arch
trap velk_env_down EXIT
velk_arch_note start
build="${VELK_BUILD_DIR:-$root/build/$VELK_ARCH}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$VELK_TOOLCHAIN" >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" --target velk || exit 1

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    export VELK_USE_DISPLAY=1
fi
velk_env_up "$build" || exit 1
cd "$build/bin" || exit 1

if [ -n "${VELK_USE_DISPLAY:-}" ]; then
    wine velk.exe "$@"
    exit 0
fi

wine velk.exe "$@" &
program=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^VELK - Tresmal Ver 1\.1$' 2>/dev/null | head -n1)
if [ -z "$window" ]; then
    echo "start: the program was built ($build/bin/velk.exe), but its main window did not appear"
    exit 1
fi
shot="$build/velk-window.png"
import -display "$DISPLAY" -window "$window" "$shot"
echo "start: no X display here, so the program ran on a virtual one."
echo "start: screenshot of its window: $shot"
# Closed as a user closes it: taskkill without /f posts WM_CLOSE to its window
# (destroying the X window alone would leave the program running).
wine taskkill /im velk.exe >/dev/null 2>&1
for _ in $(seq 1 300); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    echo "start: the program did not close when asked to"
    exit 1
fi
wait "$program" 2>/dev/null
exit 0
