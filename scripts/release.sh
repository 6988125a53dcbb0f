#!/usr/bin/env bash
# Builds what a user downloads, into build/release: Tidemeter-<version>-setup.exe (per-user installer)
# and Tidemeter-<version>-portable.zip. The version is the project version in CMakeLists.txt.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"

ensure_packages nsis
cmake --preset windows >/dev/null
cmake --build --preset windows --target Tidemeter
generated="$ROOT/build/windows/generated"
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$generated/version.nsh")
[ -n "$version" ] || { echo "no version in $generated/version.nsh" >&2; exit 1; }

out="$ROOT/build/release"
rm -rf "$out"
mkdir -p "$out"

makensis -V2 -DGENERATED="$generated" -DEXE="$ROOT/build/windows/Tidemeter.exe" \
    -DICON="$ROOT/resources/app.ico" -DOUTDIR="$out" installer/tidemeter.nsi

# The portable folder: the program and a note on its files, with Windows line ends for Notepad.
portable="Tidemeter-$version-portable"
stage="$out/stage/$portable"
mkdir -p "$stage"
cp build/windows/Tidemeter.exe "$stage/"
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' installer/portable-readme.txt >"$stage/README.txt"
(cd "$out/stage" && cmake -E tar cf "$out/$portable.zip" --format=zip -- "$portable")
rm -rf "$out/stage"

echo "Release $version in $out:"
ls -l "$out"
