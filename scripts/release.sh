#!/usr/bin/env bash
# Builds the release: the 32-bit velk.exe, its help file and a read-me for
# Windows users, zipped as dist/velk-tresmal-<version>.zip.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELK_THREADS=win32 \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw32.cmake" >/dev/null
cmake --build "$build" -j"$(nproc)" --target velk

# The version is the one the program shows in its title.
version=$(sed -n 's/^constexpr char kWindowTitle\[\] = "VELK - Tresmal Ver \([0-9.]*\)";/\1/p' \
          "$root/core/app_state.h")
[ -n "$version" ] || { echo "release: no version found in core/app_state.h" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/bin/velk.exe" "$stage/velk.exe"
i686-w64-mingw32-strip "$stage/velk.exe"
cp "$build/bin/VELK.chm" "$stage/VELK.chm"
sed 's/$/\r/' "$root/docs/README-Windows.txt" > "$stage/README.txt"

mkdir -p "$root/dist"
zip="$root/dist/velk-tresmal-$version.zip"
rm -f "$zip"
(cd "$stage" && zip -q -X "$zip" velk.exe VELK.chm README.txt)

# What Windows users download must hold the three files, and the 32-bit program.
listing=$(unzip -Z1 "$zip")
for f in velk.exe VELK.chm README.txt; do
    grep -qx "$f" <<<"$listing" || { echo "release: $f is missing from $zip" >&2; exit 1; }
done
check=$(mktemp -d)
unzip -q "$zip" velk.exe -d "$check"
format=$(i686-w64-mingw32-objdump -f "$check/velk.exe" | sed -n 's/.*file format //p')
rm -rf "$check"
[ "$format" = pei-i386 ] || { echo "release: velk.exe in $zip is $format, not 32-bit (pei-i386)" >&2; exit 1; }
echo "release: $zip"
unzip -l "$zip"
