#!/usr/bin/env bash
# cli-e2e.sh CLI_EXE OUTDIR: the real portquell-cli.exe under Wine, on a
# fresh prefix seeded with ports under ACPI\PNP0501, FTDIBUS and USB: its
# output, its exit codes, the registry after a change (read back with Wine's
# reg query), and an export imported into a second fresh prefix.
set -u
cli=$1
mkdir -p "$2"
out=$(cd "$2" && pwd)
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
failures=0
check() {  # check DESCRIPTION COMMAND...: one expectation
    local what=$1
    shift
    if "$@"; then
        echo "ok   - $what"
    else
        echo "FAIL - $what"
        failures=$((failures + 1))
    fi
}

use_prefix() {  # a fresh prefix of this test's own
    export PORTQUELL_WINEPREFIX="$out/$1"
    rm -rf "$PORTQUELL_WINEPREFIX"
    source "$tools/wine-env.sh"
    pq_wine_init
}
end_prefix() { wineserver -k 2>/dev/null || true; }
trap end_prefix EXIT

run() {  # run ARGS...: portquell-cli's output (CR removed) in $stdout, status in $status
    wine "$cli" "$@" >"$out/stdout.txt" 2>"$out/stderr.txt"
    status=$?
    stdout=$(tr -d '\r' <"$out/stdout.txt")
}
skip_of() {  # the SkipEnumerations of an instance key as reg query prints it, or ""
    wine reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\$1\\Device Parameters" \
        /v SkipEnumerations 2>/dev/null | tr -d '\r' | awk '/SkipEnumerations/ { print $3 }'
}

FTDI='FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000'
USB='USB\VID_067B&PID_2303\5&2A1B3C&0&2'
cat >"$out/seed.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\ACPI\PNP0501\1\Device Parameters]
"PortName"="COM1"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\ACPI\PNP0501\2\Device Parameters]
"PortName"="COM2"
"SkipEnumerations"=dword:ffffffff

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\\$FTDI\Device Parameters]
"PortName"="COM5"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\\$USB\Device Parameters]
"PortName"="COM7"
REG
sed -i 's/Enum\\\\/Enum\\/' "$out/seed.reg"

use_prefix prefix-a
check "seed the registry" wine reg import "$(winepath -w "$out/seed.reg")"

run list
check "list shows the two ACPI ports" test "$(echo "$stdout" | grep -c '^COM')" = 2
check "list: COM2 off" grep -q '^COM2 *off' <<<"$stdout"
run list --all --json
check "list --all --json exits 0" test "$status" = 0
for port in COM1 COM2 COM5 COM7; do
    check "list --all --json has $port" grep -q "\"port\": \"$port\"" <<<"$stdout"
done
check "json: COM5 under FTDIBUS" grep -q '"port": "COM5", "mouseDetection": "on", "enumerator": "FTDIBUS"' <<<"$stdout"

run disable com5 COM7
check "disable com5 COM7 exits 0" test "$status" = 0
check "COM5 written as REG_DWORD -1" test "$(skip_of "$FTDI")" = 0xffffffff
check "COM7 written as REG_DWORD -1" test "$(skip_of "$USB")" = 0xffffffff
check "the reminder is printed" grep -q 'unplug and replug' <<<"$stdout"
run enable COM2
check "COM2 written as REG_DWORD 0" test "$(skip_of 'ACPI\PNP0501\2')" = 0x0
check "COM1 untouched" test -z "$(skip_of 'ACPI\PNP0501\1')"
run disable COM1 COM99
check "an unknown port exits 1" test "$status" = 1
check "...and writes nothing" test -z "$(skip_of 'ACPI\PNP0501\1')"
check "...and says which" grep -q 'no serial port named COM99' "$out/stderr.txt"
run enable --dry-run COM5
check "dry run exits 0" test "$status" = 0
check "dry run writes nothing" test "$(skip_of "$FTDI")" = 0xffffffff
run --bogus
check "a bad option exits 64" test "$status" = 64
run --version
check "--version" grep -q '^portquell-cli ' <<<"$stdout"

run export --all
check "export exits 0" test "$status" = 0
printf '%s\n' "$stdout" >"$out/ports.reg"
end_prefix

# The export, imported on another machine, sets the same states.
use_prefix prefix-b
check "import the export into a fresh prefix" wine reg import "$(winepath -w "$out/ports.reg")"
check "imported: COM1 on" test "$(skip_of 'ACPI\PNP0501\1')" = 0x0
check "imported: COM2 on" test "$(skip_of 'ACPI\PNP0501\2')" = 0x0
check "imported: COM5 off" test "$(skip_of "$FTDI")" = 0xffffffff
check "imported: COM7 off" test "$(skip_of "$USB")" = 0xffffffff
end_prefix

echo "$failures failed"
[ "$failures" -eq 0 ]
