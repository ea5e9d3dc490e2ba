#!/usr/bin/env bash
# Installs what is needed, builds, and starts Brevant Pro on the bundled demo drives.
# Extra arguments are passed to the program (more disk images to open).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh" "$root/build"

# The demo images are committed compressed; unpack them once next to the build.
demo="$root/build/samples"
mkdir -p "$demo"
images=()
for packed in "$root"/samples/*.img.xz; do
    [ -e "$packed" ] || continue
    image="$demo/$(basename "${packed%.xz}")"
    if [ ! -e "$image" ] || [ "$packed" -nt "$image" ]; then
        xz -dc "$packed" > "$image.part" && mv "$image.part" "$image"
    fi
    images+=("$image")
done

if [ -x "$root/build/src/brevant-pro" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$root/build/src/brevant-pro" "${images[@]}" "$@"
fi

echo "No display found (or the desktop program is not built); showing the demo drives on the command line." >&2
"$root/build/src/brevant-cli" drives "${images[@]}" "$@"
for image in "${images[@]}"; do
    "$root/build/src/brevant-cli" scan "$image"
done
