#!/usr/bin/env bash
# Rebuilds the demo images samples/demo-fat32.img.xz and samples/demo-ntfs.img.xz with their
# manifests:  sudo scripts/make-demo-images.sh [--out DIR]
# The images are committed; this is only needed after changing the builder.
# Needs root and the packages listed in scripts/fixtures/README.md.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here" && git rev-parse --show-toplevel)
bash "$root/scripts/fixtures/builder-deps.sh"
exec python3 "$here/fixtures/build_demo.py" "$@"
