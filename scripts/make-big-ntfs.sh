#!/usr/bin/env bash
# Builds a large NTFS image for benchmarks (100,000 files in nested folders, about 30 % deleted):
#   sudo scripts/make-big-ntfs.sh OUT.img [--files N] [--size-mib M]
# Takes about two minutes; the image (512 MiB, sparse) is not committed.
# Needs root and the packages listed in scripts/fixtures/README.md.
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 OUT.img [--files N] [--size-mib M]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here" && git rev-parse --show-toplevel)
bash "$root/scripts/fixtures/builder-deps.sh"
exec python3 "$here/fixtures/build_big_ntfs.py" "$@"
