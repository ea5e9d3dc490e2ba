#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each on a copy of its seed
# corpus: scripts/fuzz.sh [--seconds N] [--target NAME] [--build-dir DIR]
# Every file of fuzz/regressions/<target>/ is run once first. Fails when a target finds a
# crash, leak, timeout or sanitizer report; what it found is kept in the work folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=30
only=""
dir="$root/build-fuzz"
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --target) only=$2; shift 2 ;;
    --build-dir) dir=$2; shift 2 ;;
    *) echo "usage: $0 [--seconds N] [--target NAME] [--build-dir DIR]" >&2; exit 2 ;;
    esac
done

# clang with its libFuzzer and sanitizer runtimes (Debian 12: clang 14).
bash "$root/scripts/deps.sh" clang libclang-rt-14-dev

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DBREVANT_FUZZ=ON -DBREVANT_BUILD_GUI=OFF -DBREVANT_BUILD_TESTS=OFF -DBREVANT_BUILD_BENCH=OFF \
    "${launcher[@]}" >/dev/null
cmake --build "$dir" --target brevant_fuzz --parallel "$(nproc)"

targets=()
for program in "$dir"/fuzz/fuzz_*; do
    name=$(basename "$program")
    name=${name#fuzz_}
    if [ -z "$only" ] || [ "$only" = "$name" ]; then targets+=("$name"); fi
done
if [ ${#targets[@]} -eq 0 ]; then
    echo "No fuzz target named '$only'." >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/brevant-fuzz.XXXXXX")
# The whole-engine target writes each input to a file here; memory where there is some.
shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=$work
images=$(mktemp -d "$shm/brevant-fuzz-images.XXXXXX")
trap 'rm -rf "$images"' EXIT
export BREVANT_FUZZ_IMAGE_DIR=$images
# Full stacks on allocation, so that a suppression can name the library function that leaked;
# fuzz/asan.supp and fuzz/lsan.supp list the image library's own faults, nothing of ours.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=0:fast_unwind_on_malloc=0:suppressions=$root/fuzz/asan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
failed=()
for name in "${targets[@]}"; do
    program="$dir/fuzz/fuzz_$name"
    out="$work/$name"
    mkdir -p "$out/corpus" "$out/found"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -r "$root/fuzz/corpus/$name/." "$out/corpus/"
    fi
    options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$out/found/")
    if [ -d "$root/fuzz/regressions/$name" ] && [ -n "$(ls -A "$root/fuzz/regressions/$name")" ]; then
        echo "== $name: regression inputs"
        if ! "$program" "${options[@]}" "$root/fuzz/regressions/$name"/* >"$out/regressions.log" 2>&1; then
            tail -n 40 "$out/regressions.log"
            failed+=("$name (regression input)")
            continue
        fi
    fi
    echo "== $name: ${seconds}s"
    if ! "$program" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$out/corpus" \
        >"$out/fuzz.log" 2>&1; then
        tail -n 60 "$out/fuzz.log"
        failed+=("$name")
        continue
    fi
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$out/fuzz.log" | tail -n 2 || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing found problems in: ${failed[*]}; inputs and logs are in $work" >&2
    exit 1
fi
rm -rf "$work"
echo "Fuzzing found nothing in ${#targets[@]} targets."
