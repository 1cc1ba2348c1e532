# Sourced by test.sh and run.sh: makes sure Debian's packages that the
# build and the tests need are installed. As root it installs what is
# missing; otherwise it prints the exact command and fails.
pq_require_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        # With the recommended packages: Wine's X11 driver and fonts come
        # that way, and the window tests need them.
        apt-get update -q >/dev/null &&
            apt-get install -y -q "${missing[@]}" >/dev/null || {
            echo "apt-get install failed for: ${missing[*]}" >&2
            return 1
        }
    else
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}

# What building and testing both programs needs.
PQ_BUILD_PACKAGES=(cmake make g++ googletest libgtest-dev libssl-dev openssl
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth
    imagemagick xdotool clang libclang-rt-14-dev osslsigncode python3-yaml)
