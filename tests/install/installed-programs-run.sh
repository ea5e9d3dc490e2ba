#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from there:
# installed-programs-run.sh CMAKE BUILD_DIR IMAGE
# The installed brevant-cli must scan IMAGE as the build tree's does, through the engine
# library installed beside it (its RPATH), not the one in the build tree.
set -euo pipefail
cmake=$1 build=$2 image=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
export XDG_CONFIG_HOME="$prefix/config"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for file in bin/brevant-cli lib/brevant-pro/libvantrel.so.1 share/man/man1/brevant-cli.1; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
done
runpath=$(readelf -d "$prefix/bin/brevant-cli" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN/../lib/brevant-pro' ] || fail "brevant-cli has RUNPATH '$runpath'"

expected=$("$build/src/brevant-cli" scan "$image" 2>/dev/null | wc -l)
actual=$("$prefix/bin/brevant-cli" scan "$image" 2>/dev/null | wc -l)
[ "$expected" -gt 1 ] || fail "the build tree's brevant-cli printed $expected lines"
[ "$actual" = "$expected" ] || fail "installed brevant-cli printed $actual lines, the build tree's $expected"

if [ -e "$build/src/brevant-pro" ]; then
    for file in share/brevant-pro/English.lng share/brevant-pro/Dutch.lng \
        share/applications/com.tollmark.BrevantPro.desktop share/metainfo/com.tollmark.BrevantPro.metainfo.xml \
        share/icons/hicolor/16x16/apps/brevant-pro.png share/icons/hicolor/256x256/apps/brevant-pro.png; do
        [ -e "$prefix/$file" ] || fail "$file is not installed"
    done
    [ ! -e "$prefix/bin/Dutch.lng" ] || fail "language files are installed beside the program"
    version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/brevant-pro" --version) || fail "installed brevant-pro does not start"
    case "$version" in "Brevant "*) ;; *) fail "installed brevant-pro --version printed '$version'" ;; esac
fi
echo "installed programs run from $prefix"
