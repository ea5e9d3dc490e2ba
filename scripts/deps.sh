#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, run and test, and the extra
# packages named as arguments (the packaging and fuzzing scripts name theirs):
#   scripts/deps.sh [PACKAGE...]
# Packages already present are skipped, so a second run only checks.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config xz-utils
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libtsk-dev libqcow-dev libvhdi-dev sleuthkit shared-mime-info fonts-dejavu-core xdg-utils
    libgtest-dev libgmock-dev libbenchmark-dev
    desktop-file-utils appstream
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
