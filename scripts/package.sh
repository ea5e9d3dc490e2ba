#!/usr/bin/env bash
# Builds the Debian package brevant-pro into build-package/: scripts/package.sh
# Installs what is needed to build and to package, configures a Release build with Debian's
# hardening flags, runs cpack and lintian, and prints the package's path and size.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-package"

bash "$root/scripts/deps.sh" dpkg-dev file lintian

# CMake reads CFLAGS, CXXFLAGS and LDFLAGS when it first configures; the preprocessor flags
# go in with the compiler flags. Debian's flags set the optimisation (-O2), so the Release
# type adds only NDEBUG: at -O3 GCC 12 warns falsely (-Wrestrict) inside std::string.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DBREVANT_BUILD_TESTS=OFF -DBREVANT_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"

rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/*.deb)

# cpack adds postinst and postrm scripts that run ldconfig whenever a shared library lies
# under /usr/lib, even in a folder of its own. The engine library is private, found through
# the programs' RPATH and never through the linker cache, so the scripts have nothing to do:
# the package is rebuilt without them.
unpacked="$dir/deb-root"
rm -rf "$unpacked"
dpkg-deb --raw-extract "$deb" "$unpacked"
changed=0
for script in postinst:configure postrm:remove; do
    file="$unpacked/DEBIAN/${script%%:*}"
    generated=$(printf '#!/bin/sh\n\nset -e\n\nif [ "$1" = "%s" ]; then\n\tldconfig\nfi' "${script#*:}")
    if [ -f "$file" ] && [ "$(cat "$file")" = "$generated" ]; then
        rm "$file"
        changed=1
    fi
done
if [ "$changed" = 1 ]; then
    dpkg-deb --root-owner-group -Zxz --build "$unpacked" "$deb" >/dev/null
fi
rm -rf "$unpacked"

echo "lintian:"
lintian "$deb" || true
echo "Package: $deb ($(du -h "$deb" | cut -f1), $(stat -c %s "$deb") bytes)"
