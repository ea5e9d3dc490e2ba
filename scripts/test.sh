#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite: scripts/test.sh [--sanitize]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
if [ "${1:-}" = "--sanitize" ]; then
    dir="$root/build-asan"
    bash "$root/scripts/build.sh" --sanitize "$dir"
    # Leaks are checked; tests/lsan.supp lists the libraries' own, each with its reason.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
    dir="$root/build"
    bash "$root/scripts/build.sh" "$dir"
fi
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
