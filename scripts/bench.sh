#!/usr/bin/env bash
# Benchmark of the split engine. Makes a source of random bytes (1 GiB unless told
# otherwise), then in one run, alternating the contenders round by round, times
#   engine - SplitFile under Wine cutting it into 1457664-byte parts as the program
#            runs it (slices of 4 MiB, the progress window open and the waiting messages
#            handled between slices), timed inside its own process (bench/split_bench.cpp),
#            so Wine's start-up is not counted;
#   split  - coreutils `split -b 1457664 -a 3 -d` into the same file system;
#   cp     - a plain copy of the file there (the copy limit);
#   floor  - bench/floor.cpp, native: one mapping of the source and one mapping per
#            part with one memory copy each (the floor of the engine's design here);
#   winefloor - bench/wine_floor.cpp, the same built for Windows and run under the same
#            Wine, timed inside it: engine/winefloor is the engine's own overhead;
# and then the merge: the written script run by the command interpreter under Wine
# (timed inside Wine as well) against `cat` of the parts into one file; and last the
# cost of the slicing and message handling: the same run with them against without
# them (each part copied at once, no progress window), in 1457664-byte parts and in
# parts of 64 MiB, which of the two goes first swapped round by round.
# Prints the medians and the ratios engine/split, engine/cp, engine/floor,
# engine/winefloor (within 1.10 is the aim), merge/cat, and with/without for each
# part size (at most 1.03 is the aim), also apart for the rounds in which each ran first.
# Then the cost of hashing: the run with the SHA-256 of each part taken on a second
# thread as it is copied against the run without, alternating, with their ratio and
# what the hashing adds to the run (at most a fifth is the aim); and the
# SHA-256 of the source alone, for a thread beside the copy can hide the hashing
# only up to the copy's own time.
# Then the address space one run holds at its peak, for a 1 GiB and a 3.5 GiB source,
# and for a 9 GiB source, past 4 GiB (its 9 GiB of parts are written).
# Last, the join of a 512 MiB set (bench/join_bench.cpp) against `cat` of its parts
# and against the join without its checks, alternating, with both ratios, and the join
# without checks against the floor of its design under Wine (within 1.10 is the aim).
# Then the recovery volumes: the 512 MiB run with a set for 1 and for 5 lost parts
# against the run without, alternating, the share of each step, and the address space
# the set takes for a 1 GiB and a 3.5 GiB source.
#   scripts/bench.sh [size in MiB]      VELK_BENCH_MIB=size  VELK_BENCH_ROUNDS=rounds (>= 5)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mib="${1:-${VELK_BENCH_MIB:-1024}}"
rounds="${VELK_BENCH_ROUNDS:-5}"
split_size=1457664
case "$mib" in '' | *[!0-9]*) echo "bench: size must be a number of MiB" >&2; exit 2 ;; esac
[ "$rounds" -ge 5 ] 2>/dev/null || rounds=5

"$root/scripts/setup.sh" || exit 1
# shellcheck source=scripts/wine-env.sh
. "$root/scripts/wine-env.sh"
velk_detect_arch
trap velk_env_down EXIT
build="${VELK_BUILD_DIR:-$root/build/$VELK_ARCH}"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$VELK_TOOLCHAIN" >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" --target velk_bench velk_wine_floor velk_join_bench velk_recovery_bench >/dev/null || exit 1
data="$build/bench"
mkdir -p "$data"
g++ -O2 -Wall -Wextra -o "$data/velk_floor" "$root/bench/floor.cpp" || exit 1

velk_env_up "$build" >/dev/null || exit 1

winpath() { local p="${1//\//\\}"; echo "Z:$p"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", (b > 0 ? a / b : 0)}'; }

source="$data/source.bin"
bytes=$((mib * 1048576))
if [ "$(stat -c %s "$source" 2>/dev/null)" != "$bytes" ]; then
    echo "bench: making a source of $mib MiB of random bytes"
    head -c "$bytes" /dev/urandom >"$source" || exit 1
fi
parts=$(((bytes + split_size - 1) / split_size))
out="$data/out"
bench_exe="$build/bin/velk_bench.exe"
wine_floor_exe="$build/bin/velk_wine_floor.exe"

echo "bench: source $mib MiB ($bytes bytes), parts of $split_size bytes ($parts parts), $rounds rounds"
velk_arch_note bench
echo "bench: the engine and the merge script are timed inside Wine; Wine's start-up is not counted"

# Wine's first start in a session loads its libraries; not the engine's cost either.
wine "$bench_exe" >/dev/null 2>&1

fresh_out() {
    rm -rf "$out"
    mkdir -p "$out"
    sync
}

# run_engine_as MODE SIZE: one run of velk_bench (split: as the program runs it; whole:
# without slicing and message handling); prints its milliseconds, then those spent in
# the progress window's hook (handling the messages and drawing; 0 for whole).
run_engine_as() {
    local line
    line=$(wine "$bench_exe" "$1" "$(winpath "$source")" "$(winpath "$out")" "$2") ||
        { echo "bench: the engine failed: $line" >&2; exit 1; }
    echo "$line" | awk '{print $2, $10}'
}
# The engine against the floors, which take no SHA-256: the run without hashing,
# whose cost is measured apart below.
run_engine() { run_engine_as nohash "$split_size" | awk '{print $1}'; }
run_split() {
    local t0; t0=$(now_ms)
    split -b "$split_size" -a 3 -d "$source" "$out/source.bin." || exit 1
    echo $(($(now_ms) - t0))
}
run_cp() {
    local t0; t0=$(now_ms)
    cp "$source" "$out/" || exit 1
    echo $(($(now_ms) - t0))
}
run_floor() {
    local t0; t0=$(now_ms)
    "$data/velk_floor" "$source" "$out" "$split_size" 2>"$data/floor-profile.txt" || exit 1
    echo $(($(now_ms) - t0))
}

# The Wine floor prints its own time, taken inside Wine as the engine's is.
run_winefloor() {
    local line
    line=$(wine "$wine_floor_exe" "$(winpath "$source")" "$(winpath "$out")" "$split_size") ||
        { echo "bench: the Wine floor failed: $line" >&2; exit 1; }
    echo "$line" >"$data/wine-floor-profile.txt"
    echo "$line" | awk '{print $2}'
}

contenders=(engine split cp floor winefloor)
declare -A times
for ((r = 0; r < rounds; r++)); do
    for ((c = 0; c < ${#contenders[@]}; c++)); do
        name=${contenders[$(((r + c) % ${#contenders[@]}))]}
        fresh_out
        t=$("run_$name") || exit 1
        times[$name]+="$t "
    done
    echo "bench: round $((r + 1)) done"
done
for name in "${contenders[@]}"; do
    echo "bench: $name ms: ${times[$name]}"
done

# Where the engine's time goes: the steps of one run timed one by one.
fresh_out
profile=$(wine "$bench_exe" profile "$(winpath "$source")" "$(winpath "$out")" "$split_size")

# The merge: parts and script from one engine run, joined again each round.
merge="$data/merge"
rm -rf "$merge"
mkdir -p "$merge"
wine "$bench_exe" split "$(winpath "$source")" "$(winpath "$merge")" "$split_size" >/dev/null ||
    { echo "bench: the engine failed before the merge" >&2; exit 1; }
part_list=()
for ((i = 1; i <= parts; i++)); do part_list+=("$merge/$(printf 'source.bin.%03d' "$i")"); done
merged_ok=unchecked
for ((r = 0; r < rounds; r++)); do
    for step in $([ $((r % 2)) -eq 0 ] && echo "script cat" || echo "cat script"); do
        rm -f "$merge/source.bin" "$data/cat.out"
        sync
        if [ "$step" = script ]; then
            line=$(wine "$bench_exe" merge "$(winpath "$merge")" source.bin.bat)
            times[merge]+="$(echo "$line" | awk '{print $2}') "
            if [ "$merged_ok" = unchecked ]; then
                cmp -s "$merge/source.bin" "$source" && merged_ok=yes || merged_ok=NO
            fi
        else
            t0=$(now_ms)
            cat "${part_list[@]}" >"$data/cat.out" || exit 1
            times[cat]+="$(($(now_ms) - t0)) "
        fi
    done
done
echo "bench: merge ms: ${times[merge]}"
echo "bench: cat ms: ${times[cat]}"
rm -rf "$out" "$merge" "$data/cat.out"

# The slicing and message handling: with them (nohash) and without (whole), same
# source, same part size, the order swapped every round; neither hashes, so that
# the two costs are told apart.
large_size=$((64 * 1048576))
for ((r = 0; r < rounds; r++)); do
    for size in "$split_size" "$large_size"; do
        declare -A pair=()
        for mode in $([ $((r % 2)) -eq 0 ] && echo "nohash whole" || echo "whole nohash"); do
            fresh_out
            line=$(run_engine_as "$mode" "$size") || exit 1
            t=${line% *}
            times[${mode}_$size]+="$t "
            pair[$mode]=$t
            [ "$mode" = nohash ] && times[hook_$size]+="$(awk -v h="${line#* }" -v t="$t" \
                'BEGIN {printf "%.4f", (t > 0 ? h / t : 0)}') "
        done
        # The round's own ratio: the two runs side by side see the same machine load.
        # Kept apart by which ran first too, for the order itself shows in the ratio.
        round_ratio=$(awk -v a="${pair[nohash]}" -v b="${pair[whole]}" \
            'BEGIN {printf "%.4f", (b > 0 ? a / b : 0)}')
        times[ratio_$size]+="$round_ratio "
        times[ratio_$((r % 2))_$size]+="$round_ratio "
    done
    echo "bench: with and without slicing, round $((r + 1)) done"
done
rm -rf "$out"
for size in "$split_size" "$large_size"; do
    echo "bench: parts of $size bytes, with ms: ${times[nohash_$size]}"
    echo "bench: parts of $size bytes, without ms: ${times[whole_$size]}"
    echo "bench: parts of $size bytes, with/without per round: ${times[ratio_$size]}"
    echo "bench: parts of $size bytes, share of the run in the progress hook: ${times[hook_$size]}"
done

# Hashing: the run as the program runs it (SHA-256 of each part as it is copied)
# against the same run without, same source and part size. Whichever runs first in a
# round may pay for the other's cache, so the order swaps every round; the rounds'
# own ratios are printed with the order they ran in.
hash_comparison() {
    local r mode line first
    declare -A pair
    hash_lines=()
    for ((r = 0; r < rounds; r++)); do
        first=$([ $((r % 2)) -eq 0 ] && echo split || echo nohash)
        for mode in $([ "$first" = split ] && echo "split nohash" || echo "nohash split"); do
            fresh_out
            line=$(run_engine_as "$mode" "$split_size") || exit 1
            pair[$mode]=${line% *}
        done
        line=$(wine "$bench_exe" sha256 "$(winpath "$source")") ||
            { echo "bench: hashing the source failed: $line" >&2; exit 1; }
        hash_lines+=("${pair[split]} ${pair[nohash]} $first $(echo "$line" | awk '{print $2}')")
        echo "bench: with and without hashing, round $((r + 1)) done"
    done
    rm -rf "$out"
}
hash_comparison
for line in "${hash_lines[@]}"; do
    echo "bench: hashing, with ms / without ms / first / hashing alone ms: $line"
done

engine=$(echo "${times[engine]}" | tr ' ' '\n' | grep . | median)
split_ms=$(echo "${times[split]}" | tr ' ' '\n' | grep . | median)
cp_ms=$(echo "${times[cp]}" | tr ' ' '\n' | grep . | median)
floor=$(echo "${times[floor]}" | tr ' ' '\n' | grep . | median)
wine_floor=$(echo "${times[winefloor]}" | tr ' ' '\n' | grep . | median)
merge_ms=$(echo "${times[merge]}" | tr ' ' '\n' | grep . | median)
cat_ms=$(echo "${times[cat]}" | tr ' ' '\n' | grep . | median)

echo
echo "Split of $mib MiB into $parts parts, median of $rounds rounds (ms):"
echo "  engine (SplitFile under Wine, Wine's start-up not counted)  $engine"
echo "  coreutils split -b $split_size -a 3 -d                       $split_ms"
echo "  cp                                                       $cp_ms"
echo "  floor (native: one mapping per part, one memcpy each)    $floor"
echo "  Wine floor (the same calls as a Windows program in Wine)  $wine_floor"
echo "  engine/split $(ratio "$engine" "$split_ms")   engine/cp $(ratio "$engine" "$cp_ms")   engine/floor $(ratio "$engine" "$floor")   engine/winefloor $(ratio "$engine" "$wine_floor")"
echo "Merge, median of $rounds rounds (ms):"
echo "  merge script under Wine's cmd.exe (timed inside Wine)    $merge_ms   rebuilt file equal to the source: $merged_ok"
echo "  cat of the parts                                         $cat_ms"
echo "  merge/cat $(ratio "$merge_ms" "$cat_ms")"
# The median of the rounds' own ratios in which with (0) or without (1) went first.
order_median() {
    echo "${times[ratio_$1_$2]:-}" | tr ' ' '\n' | grep . | sort -g |
        awk '{v[NR] = $1} END {printf "%.3f", (NR ? v[int((NR + 1) / 2)] : 0)}'
}
echo "Slicing and message handling, with against without (same source, alternating), median of $rounds rounds (ms):"
for size in "$split_size" "$large_size"; do
    with=$(echo "${times[nohash_$size]}" | tr ' ' '\n' | grep . | median)
    without=$(echo "${times[whole_$size]}" | tr ' ' '\n' | grep . | median)
    paired=$(echo "${times[ratio_$size]}" | tr ' ' '\n' | grep . | sort -g |
        awk '{v[NR] = $1} END {printf "%.3f", v[int((NR + 1) / 2)]}')
    hook=$(echo "${times[hook_$size]}" | tr ' ' '\n' | grep . | sort -g |
        awk '{v[NR] = $1} END {printf "%.1f", 100 * v[int((NR + 1) / 2)]}')
    printf "  parts of %-9s bytes: with %s, without %s, with/without %s (median of the rounds' own ratios %s)\n" \
        "$size" "$with" "$without" \
        "$(awk -v a="$with" -v b="$without" 'BEGIN {printf "%.3f", (b > 0 ? a / b : 0)}')" "$paired"
    echo "    rounds' own ratios by order: with first $(order_median 0 "$size"), without first $(order_median 1 "$size"); both orders (geometric mean) $(awk -v a="$(order_median 0 "$size")" -v b="$(order_median 1 "$size")" 'BEGIN {printf "%.3f", sqrt(a * b)}')"
    echo "    of the run with them, in the progress window's hook (messages and drawing): $hook %"
done
echo "Hashing the parts (SHA-256 as they are copied), with against without, alternating, order swapped each round (ms):"
printf '%s\n' "${hash_lines[@]}" | awk '{ printf "  round %d: with %s, without %s, ratio %.3f (%s first)\n",
    NR, $1, $2, ($2 > 0 ? $1 / $2 : 0), ($3 == "split" ? "with" : "without") }'
hash_with=$(printf '%s\n' "${hash_lines[@]}" | awk '{print $1}' | median)
hash_without=$(printf '%s\n' "${hash_lines[@]}" | awk '{print $2}' | median)
hash_ratio=$(printf '%s\n' "${hash_lines[@]}" | awk '{printf "%.4f\n", ($2 > 0 ? $1 / $2 : 0)}' |
    sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}')
echo "  median: with $hash_with, without $hash_without, with/without $(ratio "$hash_with" "$hash_without") (median of the rounds' own ratios $hash_ratio)"
echo "  the hashing adds $(awk -v r="$hash_ratio" 'BEGIN {printf "%.1f", (r > 0 ? 100 * (r - 1) : 0)}') % to the run (aim: at most 20 %)"
hash_alone=$(printf '%s\n' "${hash_lines[@]}" | awk '{print $4}' | median)
echo "  the SHA-256 of the source alone: $hash_alone ms ($(awk -v m="$mib" -v t="$hash_alone" 'BEGIN {printf "%.0f", (t > 0 ? m * 1048.576 / t : 0)}') MB/s); beside the copy it can hide only up to the run without, so the best ratio here is $(awk -v h="$hash_alone" -v w="$hash_without" 'BEGIN {printf "%.3f", (w > 0 ? (h > w ? h : w) / w : 0)}')"
echo "Where the time goes (one run each, ms):"
echo "  engine: ${profile#profile_ms }"
echo "  floor:  $(sed 's/^floor_profile_ms //' "$data/floor-profile.txt")"
echo "  Wine floor: $(sed 's/^wine_floor_ms //' "$data/wine-floor-profile.txt")"

# Address space: the most the run holds at any slice, for a 1 GiB and a 3.5 GiB
# source (sparse: only the parts are written). It must not grow with the source.
echo "Address space of one run (MiB; the process before the run, and its peak during it):"
for space_mib in 1024 3584; do
    sparse="$data/sparse-$space_mib.bin"
    truncate -s "$((space_mib * 1048576))" "$sparse" || exit 1
    fresh_out
    line=$(wine "$bench_exe" space "$(winpath "$sparse")" "$(winpath "$out")" "$split_size") ||
        { echo "bench: the engine failed on the $space_mib MiB source: $line" >&2; exit 1; }
    echo "  $space_mib MiB source: $line"
    rm -f "$sparse"
done
rm -rf "$out"

# Address space past 4 GiB: a 9 GiB source (sparse) read through views at 64-bit
# offsets. Every part is written (9 GiB on the disk of the build folder), and
# removed as soon as the run has ended.
echo "Address space of one run past 4 GiB (MiB; before the run, and its peak during it):"
sparse="$data/sparse-9216.bin"
truncate -s "$((9216 * 1048576))" "$sparse" || exit 1
fresh_out
line=$(wine "$bench_exe" space "$(winpath "$sparse")" "$(winpath "$out")" "$split_size") ||
    { echo "bench: the engine failed on the 9216 MiB source: $line" >&2; rm -rf "$sparse" "$out"; exit 1; }
echo "  9216 MiB source: $line"
rm -rf "$sparse" "$out"

# The join: a set of 512 MiB in 1457664-byte parts with its list, written once by the
# engine, joined each round by the program's join (each part's SHA-256 checked as it is
# copied), by the same join without checks, by the floor of its design under Wine
# (bench/join_bench.cpp floor: bare calls) and by `cat` of the parts; the order
# rotates every round. Timed inside Wine as the split is.
join_exe="$build/bin/velk_join_bench.exe"
join_source="$data/join-source.bin"
join_bytes=$((512 * 1048576))
if [ "$(stat -c %s "$join_source" 2>/dev/null)" != "$join_bytes" ]; then
    echo "bench: making a join source of 512 MiB of random bytes"
    head -c "$join_bytes" /dev/urandom >"$join_source" || exit 1
fi
join_set="$data/joinset"
join_out="$data/joinout"
rm -rf "$join_set"
mkdir -p "$join_set"
wine "$bench_exe" split "$(winpath "$join_source")" "$(winpath "$join_set")" "$split_size" >/dev/null ||
    { echo "bench: the engine failed before the join" >&2; exit 1; }
join_parts=$(((join_bytes + split_size - 1) / split_size))
join_list=()
for ((i = 1; i <= join_parts; i++)); do join_list+=("$join_set/$(printf 'join-source.bin.%03d' "$i")"); done
joined_ok=unchecked
join_modes=(join nocheck floor cat)
for ((r = 0; r < rounds; r++)); do
    for ((c = 0; c < ${#join_modes[@]}; c++)); do
        mode=${join_modes[$(((r + c) % ${#join_modes[@]}))]}
        rm -rf "$join_out"
        mkdir -p "$join_out"
        sync
        if [ "$mode" = cat ]; then
            t0=$(now_ms)
            cat "${join_list[@]}" >"$join_out/join-source.bin" || exit 1
            times[join_cat]+="$(($(now_ms) - t0)) "
        else
            line=$(wine "$join_exe" "$mode" "$(winpath "$join_set/join-source.bin.001")" \
                "$(winpath "$join_out")") || { echo "bench: the join failed: $line" >&2; exit 1; }
            times[join_$mode]+="$(echo "$line" | awk '{print $2}') "
            if [ "$r" -eq 0 ] && [ "$mode" != floor ]; then
                cmp -s "$join_out/join-source.bin" "$join_source" && joined_ok=yes || joined_ok=NO
            fi
        fi
    done
    echo "bench: join round $((r + 1)) done"
done
rm -rf "$join_out" "$join_set"
join_ms=$(echo "${times[join_join]}" | tr ' ' '\n' | grep . | median)
nocheck_ms=$(echo "${times[join_nocheck]}" | tr ' ' '\n' | grep . | median)
join_cat_ms=$(echo "${times[join_cat]}" | tr ' ' '\n' | grep . | median)
join_floor_ms=$(echo "${times[join_floor]}" | tr ' ' '\n' | grep . | median)
echo "Join of 512 MiB in $join_parts parts, median of $rounds rounds (ms), order rotated each round:"
echo "  join (JoinFile under Wine, each part's SHA-256 checked)   $join_ms   (rounds: ${times[join_join]})"
echo "  join without checks                                      $nocheck_ms   (rounds: ${times[join_nocheck]})"
echo "  Wine floor (bare calls: each part mapped, written whole)  $join_floor_ms   (rounds: ${times[join_floor]})"
echo "  cat of the parts                                         $join_cat_ms   (rounds: ${times[join_cat]})"
echo "  join/nocheck $(ratio "$join_ms" "$nocheck_ms")   nocheck/winefloor $(ratio "$nocheck_ms" "$join_floor_ms")   nocheck/cat $(ratio "$nocheck_ms" "$join_cat_ms")   join/cat $(ratio "$join_ms" "$join_cat_ms")   joined file equal to the source: $joined_ok"

# Recovery volumes (bench/recovery_bench.cpp): the run with a set for k = 1 and k = 5
# against the run without (k = 0), the three in turn, the order turned every round.
# Each run prints: total, split and script, checksums, recovery data, other writing,
# the whole set (ms).
recovery_comparison() {
    local exe="$build/bin/velk_recovery_bench.exe" rsource="$data/recovery-source.bin"
    local rbytes=$((512 * 1048576)) r k line
    if [ "$(stat -c %s "$rsource" 2>/dev/null)" != "$rbytes" ]; then
        head -c "$rbytes" /dev/urandom >"$rsource" || return 1
    fi
    local order=(0 1 5)
    for ((r = 0; r < rounds; r++)); do
        for i in 0 1 2; do
            k=${order[$(((i + r) % 3))]}
            fresh_out
            line=$(wine "$exe" run "$(winpath "$rsource")" "$(winpath "$out")" "$split_size" "$k") ||
                { echo "bench: the run with k = $k failed: $line" >&2; return 1; }
            times[recovery_$k]+="$line"$'\n'
        done
        echo "bench: recovery volumes, round $((r + 1)) done"
    done
    rm -rf "$out"
}
recovery_comparison || exit 1
column_median() { echo "${times[recovery_$1]}" | grep . | awk -v c="$2" '{print $c}' | median; }
echo "Recovery volumes, 512 MiB in parts of $split_size bytes, median of $rounds rounds (ms):"
base=$(column_median 0 1)
echo "  without a set (k = 0): $base"
for k in 1 5; do
    total=$(column_median "$k" 1)
    echo "  k = $k: $total, ratio to the run without $(ratio "$total" "$base")"
    awk -v t="$total" -v s="$(column_median "$k" 2)" -v c="$(column_median "$k" 3)" \
        -v r="$(column_median "$k" 4)" -v w="$(column_median "$k" 5)" 'BEGIN {
        printf "    share of the run: split and script %.1f %%, checksums %.1f %%, recovery data %.1f %%, other writing %.1f %%\n",
            100 * s / t, 100 * c / t, 100 * r / t, 100 * w / t }'
done
echo "Address space while the set (k = 5) is made (MiB):"
for space_mib in 1024 3584; do
    sparse="$data/sparse-$space_mib.bin"
    truncate -s "$((space_mib * 1048576))" "$sparse" || exit 1
    fresh_out
    line=$(wine "$build/bin/velk_recovery_bench.exe" space "$(winpath "$sparse")" "$(winpath "$out")" "$split_size" 5) ||
        { echo "bench: the set failed on the $space_mib MiB source: $line" >&2; exit 1; }
    echo "  $space_mib MiB source: $line"
    rm -f "$sparse"
done
rm -rf "$out"

# The merge script's time per part: scripts for 1, 100, 1000 and 3000 parts of one
# byte each, run by the command interpreter under Wine (timed inside Wine; Wine's
# certutil prints no hash, so each part's lines are the presence and length checks
# and its copy), the four in turn in every round so that they see the same load.
# Per part: (time - time of the 1-part script) / (parts - 1); linear when the ratios
# against 100 parts stay near 1.
echo "Merge script, time per part (ms, median of $rounds rounds):"
script_counts=(1 100 1000 3000)
head -c 3000 /dev/urandom >"$data/script-source.bin"
for n in "${script_counts[@]}"; do
    rm -rf "$data/script-$n" && mkdir -p "$data/script-$n"
    head -c "$n" "$data/script-source.bin" >"$data/script-$n/source.bin"
    wine "$bench_exe" split "$(winpath "$data/script-$n/source.bin")" "$(winpath "$data/script-$n")" 1 \
        >/dev/null || { echo "bench: the engine failed for $n parts" >&2; exit 1; }
    mv "$data/script-$n/source.bin" "$data/script-$n.expected"
done
declare -A script_ms
for ((r = 0; r < rounds; r++)); do
    for n in "${script_counts[@]}"; do
        rm -f "$data/script-$n/source.bin"
        line=$(wine "$bench_exe" merge "$(winpath "$data/script-$n")" source.bin.bat)
        script_ms[$n]+="$(echo "$line" | awk '{print $2}') "
    done
    echo "bench: script round $((r + 1)) done"
done
for n in "${script_counts[@]}"; do
    cmp -s "$data/script-$n/source.bin" "$data/script-$n.expected" ||
        echo "bench: the script of $n parts did not rebuild its source" >&2
done
declare -A per_part
one=$(echo "${script_ms[1]}" | tr ' ' '\n' | grep . | median)
for n in 100 1000 3000; do
    total=$(echo "${script_ms[$n]}" | tr ' ' '\n' | grep . | median)
    per_part[$n]=$(awk -v t="$total" -v o="$one" -v n="$n" 'BEGIN {printf "%.2f", (t - o) / (n - 1)}')
    echo "  $n parts: ms ${script_ms[$n]}; median $total, ${per_part[$n]} ms per part"
done
echo "  1-part script: ms ${script_ms[1]}; median $one"
echo "  per part, 1000/100 $(ratio "${per_part[1000]}" "${per_part[100]}")   3000/100 $(ratio "${per_part[3000]}" "${per_part[100]}")   (near 1: linear)"
rm -rf "$data"/script-*
velk_arch_note bench
[ "$merged_ok" = yes ] && [ "$joined_ok" = yes ]
