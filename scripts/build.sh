#!/usr/bin/env bash
# Configures and builds into a build folder: scripts/build.sh [--sanitize] [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sanitize=OFF
if [ "${1:-}" = "--sanitize" ]; then sanitize=ON; shift; fi
dir=${1:-}
if [ -z "$dir" ]; then
    if [ "$sanitize" = ON ]; then dir="$root/build-asan"; else dir="$root/build"; fi
fi
cmake -S "$root" -B "$dir" -G Ninja -DBREVANT_SANITIZE=$sanitize >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
