#!/usr/bin/env bash
# release.sh [--dirty] [--verify] [--sign CERT.pfx [--timestamp URL] [--ca CA.pem]]:
# builds the windows preset from a clean
# copy of the committed tree and writes to dist/:
#   portquell-<version>-win64.zip         portquell.exe, portquell-cli.exe,
#                                         README.txt (for the user),
#                                         LICENSE.txt, CHANGELOG.txt,
#                                         BUILDINFO.txt, SHA256SUMS
#   portquell-<version>-win64.zip.sha256  the zip's own checksum
# The build is reproducible and hermetic: the same commit gives the same
# bytes, in any folder, at any time and whatever the caller's environment
# (the build runs in an environment of its own: CXXFLAGS, LDFLAGS and the
# like are ignored, and named when set); no link time in the PE header,
# paths mapped out of the binaries, the zip's order, times and permissions
# fixed from the commit's time. The executables (version resource,
# portquell-cli --version) and BUILDINFO.txt name the commit.
#   --verify  builds twice, in two temporary folders some seconds apart,
#             the second with another environment (compiler and linker
#             flags, time zone, locale, umask), and compares the
#             executables and the zip byte for byte
#   --dirty   builds the working tree with its uncommitted changes; the
#             version is then marked "-dirty"
#   --sign CERT.pfx  signs both programs with Authenticode, SHA-256, before
#             SHA256SUMS and the zip are made (tools/sign.sh); the password
#             comes from PORTQUELL_SIGN_PASSWORD, never from the command
#             line. Without --timestamp the signing time is the commit's, so
#             a signed release is reproducible too.
#   --timestamp URL  an RFC 3161 time-stamping service for the signatures
#   --ca CA.pem  with --verify: the CA the signatures are verified against
#             (by default the system's certificate store). --verify with
#             --sign also checks each signature, and that each signed
#             program is the unsigned one with a signature added
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
source tools/deps.sh
pq_require_packages cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 zip unzip git ||
    exit 1

dirty=0
verify=0
pfx=
timestamp=
ca=
needs() { [ -n "${2-}" ] || { echo "release.sh: $1 needs a value (see --help)" >&2; exit 64; }; }
while [ $# -gt 0 ]; do
    case "$1" in
        --dirty) dirty=1 ;;
        --verify) verify=1 ;;
        --sign) needs "$1" "${2-}"; pfx=$(realpath "$2"); shift ;;
        --timestamp) needs "$1" "${2-}"; timestamp=$2; shift ;;
        --ca) needs "$1" "${2-}"; ca=$(realpath "$2"); shift ;;
        -h | --help) awk 'NR > 1 && !/^#/ { exit } NR > 1' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "release.sh: unknown argument '$1' (see --help)" >&2; exit 64 ;;
    esac
    shift
done
if [ -z "$pfx" ] && [ -n "$timestamp$ca" ]; then
    echo "release.sh: --timestamp and --ca go with --sign (see --help)" >&2
    exit 64
fi
[ -z "$pfx" ] || [ -r "$pfx" ] || { echo "release.sh: cannot read $pfx" >&2; exit 1; }

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
files=(portquell.exe portquell-cli.exe README.txt LICENSE.txt CHANGELOG.txt BUILDINFO.txt SHA256SUMS)
revision=$commit
[ "$dirty" = 1 ] && revision="$commit-dirty"

# The caller's build variables change the bytes under the same name: the
# build runs without them.
for var in CFLAGS CXXFLAGS CPPFLAGS LDFLAGS RCFLAGS CC CXX RC AR LDLIBS MAKEFLAGS CMAKE_GENERATOR \
    CMAKE_TOOLCHAIN_FILE CMAKE_PREFIX_PATH CMAKE_C_FLAGS CMAKE_CXX_FLAGS; do
    if [ -n "${!var+set}" ]; then
        echo "release.sh: ignoring $var from the environment: a release is built with the project's settings only."
    fi
done
# hermetic COMMAND...: COMMAND in an environment of the release's own.
hermetic() {
    env -i PATH="/usr/local/bin:/usr/bin:/bin" HOME="$HOME" LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC \
        SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" "$@"
}

# buildinfo SRC: what the release was made from and with.
buildinfo() {
    local first
    first() { "$@" 2>/dev/null | head -1; }
    echo "Portquell $version"
    echo "Commit:    $revision"
    echo "Date:      $(TZ=UTC git log -1 --date=iso-strict-local --format=%cd HEAD) (the commit's)"
    echo "Built with:"
    echo "  $(first hermetic x86_64-w64-mingw32-g++-posix --version)"
    echo "  $(first hermetic x86_64-w64-mingw32-ld --version)"
    echo "  $(first hermetic x86_64-w64-mingw32-windres --version)"
    echo "  mingw-w64 runtime $(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev 2>/dev/null || echo unknown)"
    echo "  $(first hermetic cmake --version)"
    echo "  $(first hermetic make --version)"
    echo "The build ignores the caller's environment: the same commit and tools give the same bytes."
}

# build WORK: the release in WORK/stage and WORK/$name.zip.
build() {
    local work=$1 src=$1/src
    mkdir -p "$src" "$work/stage"
    if [ "$dirty" = 1 ]; then
        git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$src"
    else
        git archive --format=tar HEAD | tar -xf - -C "$src"
    fi
    (cd "$src" && umask 022 &&
        hermetic cmake --preset windows -DPORTQUELL_BUILD_TESTS=OFF -DPORTQUELL_VERSION_TEXT="$version" \
            -DPORTQUELL_SOURCE_REVISION="$revision" >/dev/null &&
        hermetic cmake --build --preset windows --target portquell portquell-cli -j "$(nproc)" >/dev/null) || {
        echo "release.sh: the build failed in $src" >&2
        return 1
    }
    local stage=$work/stage
    cp "$src/build/windows/portquell.exe" "$src/build/windows/portquell-cli.exe" "$stage/"
    mkdir -p "$work/unsigned"
    cp "$stage/portquell.exe" "$stage/portquell-cli.exe" "$work/unsigned/"
    if [ -n "$pfx" ]; then
        local when=(--time "$SOURCE_DATE_EPOCH")
        [ -z "$timestamp" ] || when=(--timestamp "$timestamp")
        bash "$root/tools/sign.sh" sign "$pfx" "${when[@]}" "$stage/portquell.exe" "$stage/portquell-cli.exe" || return 1
    fi
    # Text files for Windows: CRLF line ends. The user's README, not the
    # developer's (whose links lead to files the zip does not hold).
    sed 's/\r*$/\r/' "$src/docs/README-user.txt" >"$stage/README.txt"
    sed 's/\r*$/\r/' "$src/LICENSE" >"$stage/LICENSE.txt"
    sed 's/\r*$/\r/' "$src/CHANGELOG.md" >"$stage/CHANGELOG.txt"
    buildinfo "$src" | sed 's/\r*$/\r/' >"$stage/BUILDINFO.txt"
    (cd "$stage" && sha256sum "${files[@]:0:6}" >SHA256SUMS)
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
    echo "Building it again elsewhere, with another environment..."
    (export CXXFLAGS=-O0 CFLAGS=-O0 LDFLAGS=-s CPPFLAGS=-DNDEBUG TZ=Pacific/Chatham LANG=de_DE.UTF-8
        umask 077
        build "$tmp/second-build")
    # compare LABEL A B: the two files' hashes, equal or not.
    compare() {
        local a b
        a=$(sha256sum <"$2" | cut -d' ' -f1)
        b=$(sha256sum <"$3" | cut -d' ' -f1)
        printf '%-30s %s\n%-30s %s  %s\n' "$1" "$a" "" "$b" "$([ "$a" = "$b" ] && echo equal || echo DIFFERENT)"
        [ "$a" = "$b" ] || status=1
    }
    for f in portquell.exe portquell-cli.exe; do
        compare "$f$([ -n "$pfx" ] && echo ' (unsigned)')" "$tmp/a/unsigned/$f" "$tmp/second-build/unsigned/$f"
        # A time-stamp is the service's, new each time.
        [ -z "$pfx" ] || [ -n "$timestamp" ] || compare "$f (signed)" "$tmp/a/stage/$f" "$tmp/second-build/stage/$f"
    done
    [ -n "$timestamp" ] || compare "$name.zip" "$tmp/a/$name.zip" "$tmp/second-build/$name.zip"
    if [ -n "$pfx" ]; then
        for f in portquell.exe portquell-cli.exe; do
            bash tools/sign.sh verify ${ca:+--ca "$ca"} "$tmp/a/stage/$f" || status=1
            bash tools/sign.sh same "$tmp/a/unsigned/$f" "$tmp/a/stage/$f" &&
                echo "$f: the unsigned program with a signature added" || status=1
        done
    fi
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
