#!/usr/bin/env bash
# sign.sh sign CERT.pfx [--timestamp URL] [--time EPOCH] FILE...
#   signs each Windows program in place with Authenticode (SHA-256), with
#   the certificate and key in CERT.pfx. The password comes from
#   PORTQUELL_SIGN_PASSWORD (empty when unset) and reaches osslsigncode in
#   a file only this user can read, removed after: never on a command
#   line, never in a log.
#   --timestamp URL  an RFC 3161 time-stamping service, so the signature
#                    stays valid after the certificate expires
#   --time EPOCH     the signing time without a time-stamp (release.sh
#                    gives the commit's, so the same commit signs the same)
# sign.sh verify [--ca CA.pem] FILE...
#   verifies each file's SHA-256 signature and its chain against CA.pem (by
#   default the system's certificate store). Exits 1 naming the first file
#   that fails.
# sign.sh same UNSIGNED SIGNED
#   checks that SIGNED differs from UNSIGNED by its signature only:
#   removing it gives back UNSIGNED's bytes, the PE checksum that
#   osslsigncode recomputes and the signature table's zero padding aside.
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/deps.sh"
pq_require_packages osslsigncode openssl || exit 1

usage() { sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 64; }
[ $# -ge 1 ] || usage
mode=$1
shift

# unsigned_bytes FILE: the program's bytes without signature, PE checksum
# or trailing zero padding, as a hash.
unsigned_bytes() {
    python3 - "$1" <<'PY'
import hashlib, struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', data, 0x3C)[0]
struct.pack_into('<I', data, pe + 24 + 64, 0)  # CheckSum in the optional header
magic = struct.unpack_from('<H', data, pe + 24)[0]
table = pe + 24 + (144 if magic == 0x20B else 128)  # the security directory
struct.pack_into('<II', data, table, 0, 0)
print(hashlib.sha256(bytes(data).rstrip(b'\0')).hexdigest())
PY
}

case "$mode" in
    sign)
        [ $# -ge 2 ] || usage
        pfx=$1
        shift
        extra=()
        while [ $# -gt 0 ]; do
            case "$1" in
                --timestamp) extra+=(-ts "$2"); shift 2 ;;
                --time) extra+=(-time "$2"); shift 2 ;;
                -*) usage ;;
                *) break ;;
            esac
        done
        [ $# -ge 1 ] || usage
        secret=$(umask 077 && mktemp -d)
        trap 'rm -rf "$secret"' EXIT
        (umask 077 && printf '%s' "${PORTQUELL_SIGN_PASSWORD-}" >"$secret/password")
        for file in "$@"; do
            osslsigncode sign -pkcs12 "$pfx" -readpass "$secret/password" -h sha256 -n Portquell \
                "${extra[@]}" -in "$file" -out "$file.signed" >/dev/null || {
                rm -f "$file.signed"
                echo "sign.sh: could not sign $file" >&2
                exit 1
            }
            mv "$file.signed" "$file"
            echo "signed $(basename "$file")"
        done
        ;;
    verify)
        ca=()
        if [ "${1-}" = --ca ]; then
            ca=(-CAfile "$2")
            shift 2
        fi
        [ $# -ge 1 ] || usage
        tmp=$(mktemp -d)
        trap 'rm -rf "$tmp"' EXIT
        for file in "$@"; do
            osslsigncode verify "${ca[@]}" -in "$file" >"$tmp/verify.txt" 2>&1 || {
                cat "$tmp/verify.txt" >&2
                echo "sign.sh: the signature of $file does not verify" >&2
                exit 1
            }
            grep -qi 'digest algorithm *: *sha256' "$tmp/verify.txt" || {
                echo "sign.sh: $file is not signed with SHA-256" >&2
                exit 1
            }
            echo "verified $(basename "$file"): $(grep -m1 'Subject:' "$tmp/verify.txt" | sed 's/^[[:space:]]*//')"
        done
        ;;
    same)
        [ $# -eq 2 ] || usage
        tmp=$(mktemp -d)
        trap 'rm -rf "$tmp"' EXIT
        osslsigncode remove-signature -in "$2" -out "$tmp/removed.exe" >/dev/null || {
            echo "sign.sh: $2 has no signature to remove" >&2
            exit 1
        }
        [ "$(unsigned_bytes "$1")" = "$(unsigned_bytes "$tmp/removed.exe")" ] || {
            echo "sign.sh: $2 differs from $1 by more than its signature" >&2
            exit 1
        }
        ;;
    *) usage ;;
esac
