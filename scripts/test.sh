#!/usr/bin/env bash
# Builds the program and every test, then runs all tests under Wine on a virtual
# display in the build folder's own Wine prefix. Exits non-zero when a test fails.
#   scripts/test.sh [ctest arguments...]     e.g. scripts/test.sh -R split
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

"$root/scripts/setup.sh" || exit 1
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
velk_detect_arch
trap velk_env_down EXIT
build="${VELK_BUILD_DIR:-$root/build/$VELK_ARCH}"
velk_arch_note test

# VELK_TARGETS="test_split ..." builds only those targets (for work on one subsystem).
targets=()
for t in ${VELK_TARGETS:-}; do targets+=(--target "$t"); done

if [ ${#targets[@]} -eq 0 ]; then
    # The shipped program is always the 32-bit one: the release zip, built and
    # checked (its files, a 32-bit velk.exe) as Windows users get it.
    "$root/scripts/release.sh" >/dev/null || { echo "test: the release failed" >&2; exit 1; }
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$VELK_TOOLCHAIN" >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" "${targets[@]}" || exit 1

velk_env_up "$build" --drives || exit 1

cd "$build" && ctest --output-on-failure "$@"
