#!/usr/bin/env bash
# Builds what a user downloads, into build/release: Tidemeter-<version>-setup.exe (per-user installer),
# Tidemeter-<version>-portable.zip, SHA256SUMS, the winget manifests (winget/) and the Scoop manifest
# (scoop/). The version is the project version in CMakeLists.txt.
#
#   bash scripts/release.sh [--homepage URL] [--updates URL] [BASE_URL]
#
# BASE_URL is the address the two downloads will be published under (the manifests' InstallerUrl and
# url; @VERSION@ in it becomes the version). Without it a placeholder under example.invalid stands
# there and the manifests are drafts, marked so in them and said so here, never to be submitted.
# --homepage gives the project's web page to the manifests (winget's PublisherUrl and PackageUrl,
# Scoop's homepage) and to the program (its "Official website" menu item, About box, portable README and
# installed entry); --updates gives the program the page "Check for updates..." opens. Without them
# none is named, and the program leaves out the menu items that would open it. Every artefact takes its time from the last commit
# (SOURCE_DATE_EPOCH, unless set), so the same commit gives the same bytes. The script checks that
# itself: it builds the program a second time in another folder (build/release-check, without the
# compiler cache), packs it again and fails when any artefact differs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ROOT"

homepage=
updates=
while [ $# -gt 0 ]; do
    case $1 in
    --homepage) [ $# -ge 2 ] || { echo "--homepage needs an address" >&2; exit 2; }; homepage=$2; shift 2 ;;
    --homepage=*) homepage=${1#--homepage=}; shift ;;
    --updates) [ $# -ge 2 ] || { echo "--updates needs an address" >&2; exit 2; }; updates=$2; shift 2 ;;
    --updates=*) updates=${1#--updates=}; shift ;;
    -*) echo "usage: release.sh [--homepage URL] [--updates URL] [BASE_URL]" >&2; exit 2 ;;
    *) break ;;
    esac
done
base_url=${1:-}
# Given every time: the build folder's cache would otherwise keep a previous release's addresses.
addresses=(-DTIDE_HOMEPAGE="$homepage" -DTIDE_UPDATES_URL="$updates")
ensure_packages nsis
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) ||
        { echo "no commit to take the time from: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

# pack BUILD OUT: the installer and the zip of the program built in BUILD, into OUT.
pack() {
    local build=$1 out=$2 generated=$1/generated
    rm -rf "$out"
    mkdir -p "$out"
    # NSIS stores each file's time and gives it to the installed copy; the program carries no other.
    local stage="$out/stage/Tidemeter-$version-portable"
    mkdir -p "$stage"
    cp "$build/Tidemeter.exe" "$stage/Tidemeter.exe"
    local home=(-e "s|@HOMEPAGE@|$homepage|")
    [ -n "$homepage" ] || home=(-e '/@HOMEPAGE@/d')
    sed -e "s/@VERSION@/$version/" "${home[@]}" -e 's/$/\r/' installer/portable-readme.txt >"$stage/README.txt"
    sed -e 's/$/\r/' installer/portable-marker.txt >"$stage/Tidemeter.portable"
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    makensis -V2 -DGENERATED="$generated" -DEXE="$stage/Tidemeter.exe" \
        -DICON="$ROOT/resources/app.ico" -DOUTDIR="$out" installer/tidemeter.nsi
    python3 scripts/release_files.py zip "$out/Tidemeter-$version-portable.zip" "$stage" "$SOURCE_DATE_EPOCH"
    rm -rf "$out/stage"
}

# build FOLDER: configures and builds Tidemeter.exe there, with the release's settings.
build() {
    cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DTIDE_TESTS=OFF "${addresses[@]}" >/dev/null
    cmake --build "$1" --target Tidemeter
}

started=$SECONDS
cmake --preset windows "${addresses[@]}" >/dev/null
cmake --build --preset windows --target Tidemeter
generated="$ROOT/build/windows/generated"
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$generated/version.nsh")
[ -n "$version" ] || { echo "no version in $generated/version.nsh" >&2; exit 1; }
base_url=${base_url//@VERSION@/$version}

out="$ROOT/build/release"
pack "$ROOT/build/windows" "$out"

# The second build: another folder, every object compiled afresh.
check="$ROOT/build/release-check"
rm -rf "$check"
CCACHE_DISABLE=1 build "$check"
pack "$check" "$check/out"
differ=0
for f in "Tidemeter-$version-setup.exe" "Tidemeter-$version-portable.zip"; do
    cmp "$out/$f" "$check/out/$f" || differ=1
done
cmp "$ROOT/build/windows/Tidemeter.exe" "$check/Tidemeter.exe" || differ=1
# Neither folder may show in what ships (the compiler was told to map them out).
if grep -qaF -e "$ROOT" "$ROOT/build/windows/Tidemeter.exe"; then
    echo "Tidemeter.exe names the folder it was built in" >&2
    differ=1
fi
[ "$differ" = 0 ] || { echo "the two builds differ: the release is not reproducible" >&2; exit 1; }

python3 scripts/release_files.py manifests "$out" "$version" "$SOURCE_DATE_EPOCH" "$base_url" "$homepage"
python3 scripts/release_files.py check "$out" "$version"
(cd "$out" && sha256sum --quiet -c SHA256SUMS)

echo "Release $version in $out (built twice and compared in $((SECONDS - started)) s):"
ls -l "$out"
cat "$out/SHA256SUMS"
# Said last as well, where it is seen after the long build output.
[ -n "$base_url" ] || echo "release: DRAFT manifests (placeholder addresses under example.invalid): do not submit them" >&2
