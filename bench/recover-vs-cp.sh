#!/usr/bin/env bash
# Times `brevant-cli recover` of every deleted file of an image into a tmpfs folder against
# `cp -a` of the recovered tree into another tmpfs folder, in the same run, and prints the
# ratio. `cp -a` is the practical limit of creating that tree; a ratio of 1.25 or less means
# the recovery writes at 0.8x that speed or better.
#
#   bench/recover-vs-cp.sh BUILD_DIR [IMAGE] [RUNS]
#
# IMAGE defaults to /work/big/ntfs200k.img; each step runs RUNS times (default 3), the median
# counts. OUT_DIR (default /dev/shm) must be a tmpfs. CLI overrides the brevant-cli binary
# (for example an earlier build, to compare). The script checks its own result: the two
# trees hold the same files (count, and one checksum over every relative path and content),
# and tsk_recover's files (run once) are all in the recovered tree; a mismatch fails it.
# brevant-cli's own figure for the copying phase ("in X s") is shown beside its wall time,
# which includes its analysis of the image.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [IMAGE] [RUNS]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
image=${2:-/work/big/ntfs200k.img}
runs=${3:-3}
cli=${CLI:-$build/src/brevant-cli}
here=$(cd "$(dirname "$0")" && pwd)

for tool in tsk_recover sha256sum; do
    command -v "$tool" >/dev/null || { echo "$tool is missing." >&2; exit 2; }
done
[ -x "$cli" ] || { echo "$cli is missing; build the brevant-cli target first." >&2; exit 2; }
[ -f "$image" ] || { echo "$image is missing." >&2; exit 2; }

work=$(mktemp -d "${OUT_DIR:-/dev/shm}/recover-cp.XXXXXX")
trap 'rm -rf "$work"' EXIT
cpu_file=$work/cpu
# shellcheck source=timing.sh
. "$here/timing.sh"

# One checksum over the relative paths and contents of every file below a folder, and the
# per-file list it is made of: tree_sum FOLDER LIST
tree_sum() {
    (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum) >"$2"
    sha256sum <"$2" | cut -d' ' -f1
}

cli_w=() cli_c=() cli_phase=() cp_w=() cp_c=()
for ((i = 1; i <= runs; i++)); do
    out=$work/recovered.$i copy=$work/copy.$i
    sync
    start=$(date +%s.%N)
    /usr/bin/time -o "$cpu_file" -f '%U %S' "$cli" recover "$image" --to "$out" --deleted-only \
        >/dev/null 2>"$work/cli.err" || { cat "$work/cli.err" >&2; exit 1; }
    end=$(date +%s.%N)
    cli_w+=("$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')")
    cli_c+=("$(awk '{ printf "%.3f", $1 + $2 }' "$cpu_file")")
    cli_phase+=("$(grep -o 'bytes in [0-9.]* s' "$work/cli.err" | awk '{ print $3 }')")
    read -r w c < <(timed cp -a "$out" "$copy")
    cp_w+=("$w") cp_c+=("$c")
    files=$(find "$out" -type f | wc -l)
    copied=$(find "$copy" -type f | wc -l)
    sum=$(tree_sum "$out" "$work/sums.recovered")
    copy_sum=$(tree_sum "$copy" "$work/sums.copy")
    if [ "$files" != "$copied" ] || [ "$sum" != "$copy_sum" ]; then
        echo "run $i: the copy differs from the recovered tree ($files / $copied files)" >&2
        exit 1
    fi
    if [ "$i" -gt 1 ] && [ "$sum" != "$first_sum" ]; then
        echo "run $i: the recovered tree differs from run 1's" >&2
        exit 1
    fi
    first_sum=$sum
    rm -rf "$copy" "$work/recovered.$((i - 1))"
done

# tsk_recover once: every file it writes must be among ours.
tsk=$work/tsk
tsk_recover "$image" "$tsk" >/dev/null
tsk_files=$(find "$tsk" -type f | wc -l)
tree_sum "$tsk" "$work/sums.tsk" >/dev/null
# sha256sum lines: 64 hex digits, two spaces, the path (which may hold spaces).
missing=$(cut -c67- "$work/sums.tsk" | LC_ALL=C sort |
    LC_ALL=C comm -23 - <(cut -c67- "$work/sums.recovered" | LC_ALL=C sort) | wc -l)
differing=$(awk 'NR == FNR { sum[substr($0, 67)] = $1; next } (substr($0, 67) in sum) && sum[substr($0, 67)] != $1' \
    "$work/sums.tsk" "$work/sums.recovered" | wc -l)
if [ "$missing" -gt 0 ]; then
    echo "$missing of tsk_recover's files are missing from the recovered tree" >&2
    exit 1
fi

cw=$(printf '%s\n' "${cli_w[@]}" | median)
cc=$(printf '%s\n' "${cli_c[@]}" | median)
cph=$(printf '%s\n' "${cli_phase[@]}" | median)
pw=$(printf '%s\n' "${cp_w[@]}" | median)
pc=$(printf '%s\n' "${cp_c[@]}" | median)
echo "image: $image, median of $runs runs, into $(dirname "$work")"
echo "  recovered tree: $files files, checksum $sum (the cp -a copy matches)"
echo "  tsk_recover: $tsk_files files, all of them in the recovered tree; $differing with other content"
printf '  brevant-cli recover   %8.3f s wall  %8.3f s CPU  (copying phase %s s)\n' "$cw" "$cc" "$cph"
printf '  cp -a of the tree     %8.3f s wall  %8.3f s CPU\n' "$pw" "$pc"
awk -v cw="$cw" -v ph="$cph" -v pw="$pw" 'BEGIN {
    printf "  brevant-cli / cp -a: %.2fx wall (%.2fx for the copying phase alone); target 1.25x or less\n", cw / pw, ph / pw
}'
