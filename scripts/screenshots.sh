#!/usr/bin/env bash
# Renders the program's windows offscreen to PNG files, on the bundled demo drives:
#   scripts/screenshots.sh [output-dir]        (default: build/screenshots)
# Environment: BUILD_DIR (default: build) is the build folder to use or create.
# Writes splash, drive-selection, scan, main-window, file-properties, drive-properties,
# drive-properties-capabilities, about, preferences, main-window-nl, preferences-nl and help
# .png files. Nothing outside the output
# folder and the build folder is written; settings go to a temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target test_periphery

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
images=()
for packed in "$root"/samples/*.img.xz; do
    [ -e "$packed" ] || continue
    image="$work/$(basename "${packed%.xz}")"
    xz -dc "$packed" > "$image"
    images+=("$image")
done
if [ ${#images[@]} -eq 0 ]; then
    echo "No demo images in $root/samples." >&2
    exit 1
fi
list=$(IFS=:; echo "${images[*]}")

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    BREVANT_SCREENSHOT_DIR="$out" BREVANT_SCREENSHOT_IMAGES="$list" \
    "$build/tests/test_periphery" --gtest_filter='Screenshots.*' --gtest_also_run_disabled_tests
echo "Screenshots in $out"
