#!/usr/bin/env bash
# Times `brevant-cli scan` against `fls -r -p` (The Sleuth Kit) on the same NTFS image and
# prints both times and their ratio, measured in this one run.
#
#   bench/cli-vs-fls.sh BUILD_DIR [IMAGE] [RUNS]
#
# IMAGE defaults to BUILD_DIR/big-ntfs.img, which is built with scripts/make-big-ntfs.sh
# (root, about two minutes) when it does not exist. Each tool runs RUNS times (default 3),
# alternating, with the output going to /dev/null; the median wall-clock time counts, and
# CPU time (user + system) is shown beside it because wall-clock time on a shared machine
# also measures the neighbours.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [IMAGE] [RUNS]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
image=${2:-$build/big-ntfs.img}
runs=${3:-3}
cli=$build/src/brevant-cli
here=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$cli" ]; then
    echo "$cli is missing; build the brevant-cli target first." >&2
    exit 2
fi
if ! command -v fls >/dev/null; then
    echo "fls is missing; install the sleuthkit package." >&2
    exit 2
fi
if [ ! -f "$image" ]; then
    echo "Building $image ..." >&2
    "$here/../scripts/make-big-ntfs.sh" "$image" >&2
fi

# shellcheck source=timing.sh
. "$here/timing.sh"

cpu_file=$(mktemp)
trap 'rm -f "$cpu_file"' EXIT
cli_wall=() cli_cpu=() fls_wall=() fls_cpu=()
for ((i = 0; i < runs; i++)); do
    read -r w c < <(timed "$cli" scan "$image")
    cli_wall+=("$w") cli_cpu+=("$c")
    read -r w c < <(timed fls -r -p "$image")
    fls_wall+=("$w") fls_cpu+=("$c")
done

entries=$("$cli" scan "$image" 2>/dev/null | tail -n +2 | wc -l)
fls_lines=$(fls -r -p "$image" | wc -l)
cw=$(printf '%s\n' "${cli_wall[@]}" | median)
cc=$(printf '%s\n' "${cli_cpu[@]}" | median)
fw=$(printf '%s\n' "${fls_wall[@]}" | median)
fc=$(printf '%s\n' "${fls_cpu[@]}" | median)

echo "image:            $image"
echo "brevant-cli scan: $entries elements, median of $runs: ${cw} s wall, ${cc} s CPU"
echo "fls -r -p:        $fls_lines lines,    median of $runs: ${fw} s wall, ${fc} s CPU"
awk -v cw="$cw" -v fw="$fw" -v cc="$cc" -v fc="$fc" 'BEGIN {
    printf "fls / brevant-cli: %.2fx wall, %.2fx CPU (above 1: brevant-cli is faster)\n", fw / cw, (cc > 0 ? fc / cc : 0)
}'
