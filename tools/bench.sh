#!/usr/bin/env bash
# Builds the benchmarks (optimised, no sanitizers) and measures clsDES
# against OpenSSL's DES-CBC in one run, the Windows build of clsDES under
# Wine on the same machine, then the peak memory of EncryptFile and
# DecryptFile on a 64 MiB file. The last line gives the ratios, all against
# the native OpenSSL of the same run: above 1 means Portquell is faster.
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source tools/deps.sh
pq_require_packages cmake make g++ libbenchmark-dev libssl-dev time "${PQ_BUILD_PACKAGES[@]}" || exit 1

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
bin=build/bench/bench

csv=$(mktemp)
work=$(mktemp -d)
trap 'rm -rf "$csv" "$work"' EXIT
"$bin/des_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}" --benchmark_format=console \
    --benchmark_out="$csv" --benchmark_out_format=csv

# bytes per second of one benchmark, from the CSV file.
rate() { awk -F, -v name="\"$1\"" '$1 == name { print $6 }' "$csv"; }

echo
native=$("$bin/des_throughput" 16)
echo "Native build, 16 MiB: $native"
echo "Windows build under Wine, 16 MiB:"
cmake --preset windows >/dev/null
cmake --build --preset windows --target des_throughput >/dev/null
source tools/wine-env.sh
pq_wine_init
windows=$(wine build/windows/bench/des_throughput.exe 16 | tr -d '\r')
echo "  $windows"
wineserver -k 2>/dev/null || true
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
kernel() { sed -n 's/.*kernel="\(.*\)".*/\1/p' <<<"$1"; }

echo
echo "Peak resident memory, 64 MiB file:"
head -c $((64 << 20)) /dev/urandom >"$work/plain"
for op in encrypt decrypt; do
    src="$work/plain"
    [ "$op" = decrypt ] && src="$work/sealed"
    dst="$work/sealed"
    [ "$op" = decrypt ] && dst="$work/opened"
    /usr/bin/time -v "$bin/des_file" "$op" "$src" "$dst" bench-key 2>"$work/time.txt"
    kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time.txt")
    size=$(($(stat -c %s "$src") / 1024))
    echo "  ${op^}File: peak ${kib} KiB for a ${size} KiB file (file + $((kib - size)) KiB)"
done
cmp -s "$work/plain" "$work/opened" || { echo "the 64 MiB round trip differs" >&2; exit 1; }

enc=$(awk -v a="$(rate ClsDesEncrypt/16777216)" -v b="$(rate OpenSslEncrypt/16777216)" \
    'BEGIN { printf "%.2f", a / b }')
dec=$(awk -v a="$(rate ClsDesDecrypt/16777216)" -v b="$(rate OpenSslDecrypt/16777216)" \
    'BEGIN { printf "%.2f", a / b }')
wenc=$(awk -v a="$(field encrypt_mbps "$windows")" -v b="$(rate OpenSslEncrypt/16777216)" \
    'BEGIN { printf "%.2f", a * 1e6 / b }')
wdec=$(awk -v a="$(field decrypt_mbps "$windows")" -v b="$(rate OpenSslDecrypt/16777216)" \
    'BEGIN { printf "%.2f", a * 1e6 / b }')
echo
echo "decryption kernel: native \"$(kernel "$native")\", windows \"$(kernel "$windows")\""
echo "ratio encrypt=$enc decrypt=$dec windows-encrypt=$wenc windows-decrypt=$wdec (clsDES vs OpenSSL DES-CBC, 16 MiB)"
