#!/usr/bin/env bash
# release.sh [--dirty] [--verify]: builds the windows preset from a clean
# copy of the committed tree and writes to dist/:
#   portquell-<version>-win64.zip         portquell.exe, portquell-cli.exe,
#                                         README.txt, LICENSE.txt,
#                                         CHANGELOG.txt, SHA256SUMS
#   portquell-<version>-win64.zip.sha256  the zip's own checksum
# The build is reproducible: the same commit gives the same bytes, in any
# folder and at any time (no link time in the PE header, paths mapped out of
# the binaries, the zip's order, times and permissions fixed from the
# commit's time).
#   --verify  builds twice, in two temporary folders some seconds apart,
#             and compares the executables and the zip byte for byte
#   --dirty   builds the working tree with its uncommitted changes; the
#             version is then marked "-dirty"
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
source tools/deps.sh
pq_require_packages cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 zip unzip git ||
    exit 1

dirty=0
verify=0
for arg in "$@"; do
    case "$arg" in
        --dirty) dirty=1 ;;
        --verify) verify=1 ;;
        -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "release.sh: unknown argument '$arg' (see --help)" >&2; exit 64 ;;
    esac
done

version=$(sed -n 's/^project(Portquell VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no version in CMakeLists.txt" >&2; exit 1; }
if [ -n "$(git status --porcelain)" ]; then
    if [ "$dirty" = 0 ]; then
        echo "release.sh: the tree has uncommitted changes; a release must name a commit." >&2
        echo "Commit them, or build anyway with --dirty (the version is then marked)." >&2
        exit 1
    fi
    version="$version-dirty"
fi
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
name="portquell-$version-win64"
files=(portquell.exe portquell-cli.exe README.txt LICENSE.txt CHANGELOG.txt SHA256SUMS)

# build WORK: the release in WORK/stage and WORK/$name.zip.
build() {
    local work=$1 src=$1/src
    mkdir -p "$src" "$work/stage"
    if [ "$dirty" = 1 ]; then
        git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$src"
    else
        git archive --format=tar HEAD | tar -xf - -C "$src"
    fi
    (cd "$src" &&
        cmake --preset windows -DPORTQUELL_BUILD_TESTS=OFF -DPORTQUELL_VERSION_TEXT="$version" >/dev/null &&
        cmake --build --preset windows --target portquell portquell-cli -j "$(nproc)" >/dev/null) || {
        echo "release.sh: the build failed in $src" >&2
        return 1
    }
    local stage=$work/stage
    cp "$src/build/windows/portquell.exe" "$src/build/windows/portquell-cli.exe" "$stage/"
    # Text files for Windows: CRLF line ends.
    sed 's/\r*$/\r/' "$src/README.md" >"$stage/README.txt"
    sed 's/\r*$/\r/' "$src/LICENSE" >"$stage/LICENSE.txt"
    sed 's/\r*$/\r/' "$src/CHANGELOG.md" >"$stage/CHANGELOG.txt"
    (cd "$stage" && sha256sum "${files[@]:0:5}" >SHA256SUMS)
    chmod 0644 "$stage"/*
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    # Fixed order, no extra attributes, times in UTC from the commit.
    (cd "$stage" && TZ=UTC zip -X -D -q "$work/$name.zip" "${files[@]}")
    touch -d "@$SOURCE_DATE_EPOCH" "$work/$name.zip"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "Building $name from commit $commit$([ "$dirty" = 1 ] && echo ' with uncommitted changes')..."
build "$tmp/a"
status=0
if [ "$verify" = 1 ]; then
    sleep 2  # another time as well as another folder
    echo "Building it again elsewhere..."
    build "$tmp/second-build"
    for f in portquell.exe portquell-cli.exe; do
        a=$(sha256sum <"$tmp/a/stage/$f" | cut -d' ' -f1)
        b=$(sha256sum <"$tmp/second-build/stage/$f" | cut -d' ' -f1)
        printf '%-18s %s\n%-18s %s  %s\n' "$f" "$a" "" "$b" "$([ "$a" = "$b" ] && echo equal || echo DIFFERENT)"
        [ "$a" = "$b" ] || status=1
    done
    a=$(sha256sum <"$tmp/a/$name.zip" | cut -d' ' -f1)
    b=$(sha256sum <"$tmp/second-build/$name.zip" | cut -d' ' -f1)
    printf '%-18s %s\n%-18s %s  %s\n' "$name.zip" "$a" "" "$b" "$([ "$a" = "$b" ] && echo equal || echo DIFFERENT)"
    [ "$a" = "$b" ] || status=1
fi

mkdir -p dist
cp "$tmp/a/$name.zip" dist/
(cd dist && sha256sum "$name.zip" >"$name.zip.sha256")
touch -d "@$SOURCE_DATE_EPOCH" "dist/$name.zip"
echo
unzip -l "dist/$name.zip"
echo
cat "dist/$name.zip.sha256"
if [ "$verify" = 1 ]; then
    [ "$status" = 0 ] && echo "Reproducible: both builds are byte for byte the same." ||
        echo "NOT reproducible: the builds differ." >&2
fi
exit "$status"
