# Sourced by the Wine helpers: a project-local 64-bit prefix, quiet, and
# without the Mono and Gecko installers that would otherwise pop up.
# PORTQUELL_WINEPREFIX picks another prefix (the end-to-end test and
# ./run.sh keep their own registries apart from the unit tests').
_pq_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${PORTQUELL_WINEPREFIX:-$_pq_root/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix once; later calls return at once.
pq_wine_init() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
    fi
}

# pq_use_prefix DIR: the prefix at DIR (created if need be) made the
# current one (the server of the previous prefix is ended first).
pq_use_prefix() {
    wineserver -k 2>/dev/null || true
    export PORTQUELL_WINEPREFIX=$1
    export WINEPREFIX=$1
    pq_wine_init
}

# pq_fresh_prefix DIR: a new, empty prefix at DIR, made the current one
# (the server of the previous prefix is ended first).
pq_fresh_prefix() {
    wineserver -k 2>/dev/null || true
    rm -rf "$1"
    pq_use_prefix "$1"
}
