#!/usr/bin/env bash
# Times `brevant-cli recover` against `tsk_recover` and `icat` (The Sleuth Kit) and prints
# the times and their ratios, measured in this one run:
#   1. all deleted files of the 100,000-entry NTFS image (scripts/make-big-ntfs.sh);
#   2. one large file (256 MiB of random data) on a FAT32 image built here with mtools.
#
#   bench/recover-vs-tsk.sh BUILD_DIR [IMAGE] [RUNS]
#
# IMAGE defaults to BUILD_DIR/big-ntfs.img, built when missing (root, about two minutes).
# Each tool runs RUNS times (default 3), alternating, each time into an empty folder below
# BUILD_DIR (OUT_DIR when set, for example /dev/shm to leave the disk out of it); the
# median wall-clock time counts, CPU time (user + system) is shown beside it.
# brevant-cli's time includes its analysis of the image, as a user would see it.
# icat copies one file per process: on the big image it runs over ICAT_SAMPLE (default 500)
# deleted files spread over the image, and its time is scaled to all of them.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [IMAGE] [RUNS]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
image=${2:-$build/big-ntfs.img}
runs=${3:-3}
sample=${ICAT_SAMPLE:-500}
cli=$build/src/brevant-cli
here=$(cd "$(dirname "$0")" && pwd)

for tool in tsk_recover icat fls mkfs.vfat mcopy; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is missing; install the sleuthkit, dosfstools and mtools packages." >&2
        exit 2
    fi
done
if [ ! -x "$cli" ]; then
    echo "$cli is missing; build the brevant-cli target first." >&2
    exit 2
fi
if [ ! -f "$image" ]; then
    echo "Building $image ..." >&2
    "$here/../scripts/make-big-ntfs.sh" "$image" >&2
fi

work=$(mktemp -d "${OUT_DIR:-$build}/recover-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cpu_file=$work/cpu

# shellcheck source=timing.sh
. "$here/timing.sh"

# icat over a list of "address<TAB>name" lines: icat_all IMAGE LIST FOLDER
icat_all=(bash -c 'while IFS=$'"'"'\t'"'"' read -r address name; do icat "$0" "$address" >"$2/$name"; done <"$1"')

# Each run writes into a folder of its own; nothing is deleted until the end. Creating
# files right after deleting tens of thousands makes ext4 search its inode tables for
# ones not recently freed, which would time the file system, not the tools.
# The page cache's dirty data from the run before is written out first, so no tool
# pays for another's writes.
runs_done=0
fresh() {
    runs_done=$((runs_done + 1))
    out=$work/out.$runs_done
    mkdir -p "$out"
    sync
}

summary() { # folder -> "files bytes"
    printf '%s %s\n' "$(find "$1" -type f | wc -l)" "$(find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')"
}

# ---- 1. all deleted files of the big NTFS image ------------------------------------------
fls -r -p -d -F "$image" | awk -F '\t' '{ split($1, a, " "); sub(":", "", a[3]); print a[3] }' >"$work/deleted"
total_deleted=$(wc -l <"$work/deleted")
awk -v n="$total_deleted" -v k="$sample" \
    'BEGIN { step = n > k ? n / k : 1 } (NR - 1) % step < 1 { printf "%s\tf%d\n", $1, NR }' \
    "$work/deleted" >"$work/icat-list"
icat_count=$(wc -l <"$work/icat-list")

cli_w=() cli_c=() tsk_w=() tsk_c=() icat_w=() icat_c=()
for ((i = 0; i < runs; i++)); do
    fresh
    read -r w c < <(timed "$cli" recover "$image" --to "$out" --deleted-only)
    cli_w+=("$w") cli_c+=("$c")
    read -r cli_files cli_bytes < <(summary "$out")
    fresh
    read -r w c < <(timed tsk_recover "$image" "$out")
    tsk_w+=("$w") tsk_c+=("$c")
    read -r tsk_files tsk_bytes < <(summary "$out")
    fresh
    read -r w c < <(timed "${icat_all[@]}" "$image" "$work/icat-list" "$out")
    icat_w+=("$w") icat_c+=("$c")
done

report() { # label files bytes wall cpu
    awk -v l="$1" -v f="$2" -v b="$3" -v w="$4" -v c="$5" \
        'BEGIN { printf "  %-28s %7d files %11s bytes  %8.3f s wall  %8.3f s CPU  %7s MB/s\n", l, f, (b > 0 ? b : "-"), w, c, (w > 0 && b > 0 ? sprintf("%.1f", b / 1e6 / w) : "-") }'
}

cw=$(printf '%s\n' "${cli_w[@]}" | median)
cc=$(printf '%s\n' "${cli_c[@]}" | median)
tw=$(printf '%s\n' "${tsk_w[@]}" | median)
tc=$(printf '%s\n' "${tsk_c[@]}" | median)
iw=$(printf '%s\n' "${icat_w[@]}" | median)
ic=$(printf '%s\n' "${icat_c[@]}" | median)
# icat scaled from its sample to every deleted file.
iw_all=$(awk -v w="$iw" -v n="$total_deleted" -v k="$icat_count" 'BEGIN { printf "%.3f", w * n / k }')
ic_all=$(awk -v w="$ic" -v n="$total_deleted" -v k="$icat_count" 'BEGIN { printf "%.3f", w * n / k }')

echo "image: $image ($total_deleted deleted files listed by fls), median of $runs runs"
report "brevant-cli recover" "$cli_files" "$cli_bytes" "$cw" "$cc"
report "tsk_recover" "$tsk_files" "$tsk_bytes" "$tw" "$tc"
report "icat, scaled from $icat_count" "$total_deleted" 0 "$iw_all" "$ic_all"
awk -v cw="$cw" -v tw="$tw" -v iw="$iw_all" -v cf="$cli_files" -v tf="$tsk_files" 'BEGIN {
    printf "  tsk_recover / brevant-cli: %.2fx wall; per file %.2fx (above 1: brevant-cli is faster)\n", tw / cw, (tw / tf) / (cw / cf)
    printf "  icat / brevant-cli:        %.2fx wall\n", iw / cw
}'

# ---- 2. one large file ----------------------------------------------------------------------
big=$work/large-fat32.img
head -c $((256 << 20)) /dev/urandom >"$work/large.bin"
mkfs.vfat -C -F 32 -n LARGE "$big" $((320 << 10)) >/dev/null
mcopy -i "$big" "$work/large.bin" ::large.bin
address=$(fls -p "$big" | awk -F '\t' '$2 == "large.bin" { split($1, a, " "); sub(":", "", a[2]); print a[2] }')
if [ -z "$address" ]; then
    echo "large.bin not found on $big" >&2
    exit 1
fi

cli_w=() cli_c=() tsk_w=() tsk_c=() icat_w=() icat_c=()
for ((i = 0; i < runs; i++)); do
    fresh
    read -r w c < <(timed "$cli" recover "$big" --to "$out")
    cli_w+=("$w") cli_c+=("$c")
    cmp -s "$out/large.bin" "$work/large.bin" || echo "brevant-cli: the copy differs" >&2
    fresh
    read -r w c < <(timed tsk_recover -a "$big" "$out")
    tsk_w+=("$w") tsk_c+=("$c")
    cmp -s "$out/large.bin" "$work/large.bin" || echo "tsk_recover: the copy differs" >&2
    fresh
    read -r w c < <(timed sh -c 'icat "$1" "$2" >"$3"' icat "$big" "$address" "$out/large.bin")
    icat_w+=("$w") icat_c+=("$c")
    cmp -s "$out/large.bin" "$work/large.bin" || echo "icat: the copy differs" >&2
done

size=$((256 << 20))
cw=$(printf '%s\n' "${cli_w[@]}" | median)
cc=$(printf '%s\n' "${cli_c[@]}" | median)
tw=$(printf '%s\n' "${tsk_w[@]}" | median)
tc=$(printf '%s\n' "${tsk_c[@]}" | median)
iw=$(printf '%s\n' "${icat_w[@]}" | median)
ic=$(printf '%s\n' "${icat_c[@]}" | median)
echo "one large file: 256 MiB on FAT32, median of $runs runs"
report "brevant-cli recover" 1 "$size" "$cw" "$cc"
report "tsk_recover -a" 1 "$size" "$tw" "$tc"
report "icat" 1 "$size" "$iw" "$ic"
awk -v cw="$cw" -v tw="$tw" -v iw="$iw" 'BEGIN {
    printf "  tsk_recover / brevant-cli: %.2fx wall; icat / brevant-cli: %.2fx wall (above 1: brevant-cli is faster)\n", tw / cw, iw / cw
}'
