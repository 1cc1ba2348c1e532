#!/usr/bin/env bash
# cli_e2e.sh CLI_EXE INSPECT_EXE OUTDIR REPLAY: the real portquell-cli.exe under Wine, on fresh
# prefixes seeded from the .reg files beside this script: its output, its
# exit codes, the registry after a change (read back with Wine's reg query),
# an export imported into another fresh prefix, and an export of hostile
# names that, imported, must create nothing but the exported ports' keys.
set -u
cli=$1
inspect=$2
mkdir -p "$3"
out=$(cd "$3" && pwd)
replay=${4:-}  # the native build's portquell-replay
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/wine-env.sh"
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
trap 'wineserver -k 2>/dev/null || true' EXIT

run() {  # run ARGS...: portquell-cli's output (CR removed) in $stdout, status in $status
    wine "$cli" "$@" >"$out/stdout.txt" 2>"$out/stderr.txt"
    status=$?
    stdout=$(tr -d '\r' <"$out/stdout.txt")
}
skip_of() {  # the SkipEnumerations of an instance key as reg query prints it, or ""
    wine reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\$1\\Device Parameters" \
        /v SkipEnumerations 2>/dev/null | tr -d '\r' | awk '/SkipEnumerations/ { print $3 }'
}
import() { wine reg import "$(winepath -w "$1")" >/dev/null 2>&1; }
# skip_is KEY VALUE: the value as reg query reads it, once it has settled
# (a read right after an import can come before the import's last write).
skip_is() {
    local i
    for i in $(seq 1 40); do
        [ "$(skip_of "$1")" = "$2" ] && return 0
        sleep 0.25
    done
    return 1
}
enum_tree() { wine reg query 'HKLM\SYSTEM\CurrentControlSet\Enum' /s 2>/dev/null | tr -d '\r'; }
printable() { ! sed 's/\r$//' "$1" | LC_ALL=C grep -q '[^[:print:]]'; }  # CR LF ends lines

FTDI='FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000'
USB='USB\VID_067B&PID_2303\5&2A1B3C&0&2'

pq_fresh_prefix "$out/prefix-a"
check "seed the registry" import "$here/cli-seed.reg"

run list --acpi
check "list --acpi shows the two ACPI ports" test "$(echo "$stdout" | grep -c '^COM')" = 2
check "list: COM2 off" grep -q '^COM2 *off' <<<"$stdout"
run list --all --json
check "list --all --json exits 0" test "$status" = 0
for port in COM1 COM2 COM5 COM7; do
    check "list --all --json has $port" grep -q "\"port\": \"$port\"" <<<"$stdout"
done
check "json: COM5 under FTDIBUS" grep -q '"port": "COM5", "mouseDetection": "on", "enumerator": "FTDIBUS"' <<<"$stdout"
check "json: COM7's device, what it reports read through SetupAPI" \
    grep -qF '"name": "Prolific USB-to-Serial Comm Port (COM7)", "reported": "GPS puck", "maker": "Prolific", "usb": {"vid": "067B", "pid": "2303", "serial": null}, "location": "Port_#0002.Hub_#0001"' <<<"$stdout"
run list
check "list: COM7's device line" grep -qF 'GPS puck, VID_067B PID_2303, no serial number, Port_#0002.Hub_#0001' <<<"$stdout"
# A name in the system's language, redirected: one byte in the console's
# code page, neither escaped nor UTF-8.
wine reg add 'HKLM\SYSTEM\CurrentControlSet\Enum\FTDIBUS\VID_0403+PID_6001+A1B2C3D4A\0000' /v FriendlyName \
    /t REG_SZ /d "$(printf 'R\xe9cepteur GPS (COM5)' | iconv -f latin1 -t utf-8)" /f >/dev/null 2>&1
run list
check "list: a French name redirected in the console's code page" \
    bash -c "LC_ALL=C grep -aq \$'R[\x80-\xff]cepteur GPS, VID_0403' '$out/stdout.txt'"

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
cp "$out/stdout.txt" "$out/ports.reg"

# check, as a management tool's detection step: every exit status.
run check
check "check: COM1 is on, exits 1" test "$status" = 1
check "check names the port that is on" grep -q 'mouse detection is on for COM1' "$out/stderr.txt"
run check COM5 com7
check "check of two ports that are off exits 0" test "$status" = 0
run check COM5 COM99
check "check of a missing port exits 1" test "$status" = 1
run check --dry-run
check "check --dry-run is a usage error (64)" test "$status" = 64
run disable --all
check "disable --all leaves the parallel port alone" test -z "$(skip_of 'ACPI\PNP0400\1')"
run check --json
check "after disable --all, check exits 0" test "$status" = 0
check "...and says so in JSON" grep -q '"compliant": true' <<<"$stdout"
# The link is volatile: the server is kept until the next prefix, so that
# a slow start of the next command cannot let it end and take the link.
wineserver -p
wine "$inspect" loopkey 'SYSTEM\CurrentControlSet\Enum\UNREADABLE' >/dev/null 2>&1
run check --all
check "a key that cannot be read makes check --all exit 3" test "$status" = 3
check "...and say which" grep -q 'UNREADABLE' "$out/stderr.txt"
# A check of named ports beside that key is the unit tests' (the check
# table's unreadable rows): here the link to itself sometimes takes Wine's
# server down with it, and the key with the server, between two commands.

# The export, imported on another machine, sets the same states.
pq_fresh_prefix "$out/prefix-b"
check "import the export into a fresh prefix" import "$out/ports.reg"
check "imported: COM1 on" skip_is 'ACPI\PNP0501\1' 0x0
check "imported: COM2 on" skip_is 'ACPI\PNP0501\2' 0x0
check "imported: COM5 off" skip_is "$FTDI" 0xffffffff
check "imported: COM7 off" skip_is "$USB" 0xffffffff

# Hostile names: the console stays printable, and the export creates
# nothing but the keys of the ports it could carry.
pq_fresh_prefix "$out/prefix-hostile"
check "seed the hostile registry" import "$here/cli-hostile.reg"
run list --all
check "hostile list: printable output" printable "$out/stdout.txt"
check "hostile list: the injected name shown escaped" \
    grep -qF 'COM9\x0D\x0A[HKEY_LOCAL_MACHINE\\SOFTWARE\\Injected]' <<<"$stdout"
run export --all
check "hostile export exits 4 (incomplete)" test "$status" = 4
check "hostile export names the port left out" grep -q 'COM20 not exported' "$out/stderr.txt"
check "hostile export: printable output" printable "$out/stdout.txt"
cp "$out/stdout.txt" "$out/hostile.reg"

# Imported where the first export was (ACPI 1 already there, 7 and 8 not).
pq_use_prefix "$out/prefix-b"
enum_tree >"$out/enum-before.txt"
check "import the hostile export" import "$out/hostile.reg"
enum_tree >"$out/enum-after.txt"
added=$(diff "$out/enum-before.txt" "$out/enum-after.txt" | sed -n 's/^> //p' | grep -v '^$' |
    grep -v -E '^HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ACPI(\\PNP0501(\\[178](\\Device Parameters)?)?)?$' |
    grep -v -E '^ +SkipEnumerations +REG_DWORD +0x(0|ffffffff)$')
check "the import added nothing but the exported ports' keys" test -z "$added"
[ -n "$added" ] && echo "$added"
check "no injected key" bash -c "! wine reg query 'HKLM\\SOFTWARE\\Injected' >/dev/null 2>&1"
check "no key from a bracket" bash -c "! wine reg query 'HKLM\\1' >/dev/null 2>&1"
check "removed lines: none" test -z "$(diff "$out/enum-before.txt" "$out/enum-after.txt" | grep '^<')"

# The export imported on a machine without those ports creates their keys
# without a PortName; the window lists the ACPI ones: check sees them,
# disable --all fixes them, the next check passes.
pq_fresh_prefix "$out/prefix-c"
check "import the export into another fresh prefix" import "$out/ports.reg"
run check
check "imported machine: check finds the nameless ACPI ports on (1)" test "$status" = 1
check "...and names them by key" grep -q 'on for HKLM\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\PNP0501\\1 ' "$out/stderr.txt"
run disable --all
check "imported machine: disable --all exits 0" test "$status" = 0
run check
check "imported machine: check passes after one disable --all" test "$status" = 0
run check --all
check "imported machine: check --all passes too" test "$status" = 0

# A serial mouse on COM1, as serenum installs one: found, then removed by
# disable --now after the write. Wine cannot restart the port, so the
# change is in force only from the next restart, and the exit status says so.
MOUSE='SERENUM\PNP0F0C\4&1234&0&0000'
pq_fresh_prefix "$out/prefix-mice"
check "seed a port with a serial mouse" import "$here/cli-mice.reg"
mouse_key() { wine reg query "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\$MOUSE" >/dev/null 2>&1; }
no_mouse_key() { ! mouse_key; }
check "the mouse's key is there" mouse_key
run mice
check "mice exits 0" test "$status" = 0
check "mice lists the mouse on COM1" grep -qF "COM1  yes      SERENUM\PNP0F0C  $MOUSE" <<<"$stdout"
run check --mice COM1
check "check --mice fails while the mouse is there" test "$status" = 1
run disable COM1 --now
check "disable --now exits 5: in force at the next restart" test "$status" = 5
check "COM1 written as REG_DWORD -1" test "$(skip_of 'ACPI\PNP0501\1')" = 0xffffffff
check "the mouse's key is gone" no_mouse_key
check "...and the port's line says why" \
    grep -qF "COM1: in force at the next restart: Windows did not restart the port" <<<"$stdout"
run mice
check "mice lists no mouse now" test "$(grep -c SERENUM <<<"$stdout")" = 0

# The machine-wide guard on a machine whose policy list another
# administrator manages: guard on adds SERIAL_MOUSE beside their entry,
# check --guard passes, guard off removes only what guard on added.
POLICY='HKLM\SOFTWARE\Policies\Microsoft\Windows\DeviceInstall\Restrictions'
pq_fresh_prefix "$out/prefix-guard"
wine reg add "$POLICY\DenyDeviceIDs" /v 1 /t REG_SZ /d 'PCI\VEN_8086' /f >/dev/null 2>&1
wine reg add "$POLICY" /v DenyDeviceIDs /t REG_DWORD /d 1 /f >/dev/null 2>&1
policy() { wine reg query "$POLICY" /s 2>/dev/null | tr -d '\r'; }
before=$(policy)
run guard
check "guard: not in force yet (1)" test "$status" = 1
run check --guard
check "check --guard fails before (1)" test "$status" = 1
run guard on --dry-run
check "guard on --dry-run exits 0" test "$status" = 0
check "...names the entry it would add" grep -qF 'DenyDeviceIDs 2 = REG_SZ SERIAL_MOUSE' <<<"$stdout"
check "...and writes nothing" test "$(policy)" = "$before"
run guard on
check "guard on exits 0" test "$status" = 0
check "...SERIAL_MOUSE is value 2" grep -qE '^ +2 +REG_SZ +SERIAL_MOUSE$' <<<"$(policy)"
check "...the other administrator's entry stays" grep -qF 'PCI\VEN_8086' <<<"$(policy)"
run guard
check "guard: in force (0)" test "$status" = 0
run check --guard
check "check --guard passes after guard on (0)" test "$status" = 0
run guard off
check "guard off exits 0" test "$status" = 0
check "guard off leaves the policy as it was" test "$(policy)" = "$before"
run guard
check "guard: not in force after off (1)" test "$status" = 1

# report: under Wine on an onboard port and an FTDI adapter with a serial
# mouse, it changes nothing (the registry read back before and after), and
# replayed natively on the in-memory registry and device tree every answer
# is the one the program gave under Wine: the doubles checked against Wine.
pq_fresh_prefix "$out/prefix-report"
check "seed the ports" import "$here/cli-seed.reg"
check "seed the mouse" import "$here/cli-mice.reg"
run list  # (Wine's SetupAPI writes a Class value at a device's first listing)
dump() { wine reg query 'HKLM\SYSTEM' /s 2>/dev/null | tr -d '\r'; wine reg query 'HKLM\SOFTWARE\Policies' /s 2>/dev/null | tr -d '\r'; }
before=$(dump)
wine "$cli" report "$(winepath -w "$out/machine.json")" >/dev/null 2>"$out/stderr.txt"
check "report exits 0" test "$?" = 0
check "...says where and what it holds" grep -qF "report written to" "$out/stderr.txt"
check "...and changes nothing" test "$(dump)" = "$before"
computer=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\ComputerName\ActiveComputerName' /v ComputerName 2>/dev/null | tr -d '\r' | awk '$1 == "ComputerName" { print $3 }')
check "...holds the computer's name ($computer)" grep -qF "\"computer\": \"$computer\"" "$out/machine.json"
check "...which Wine names" test -n "$computer"
wine "$cli" report --anonymize - >"$out/anonymous.json" 2>/dev/null
check "report --anonymize leaves no serial number" bash -c "! grep -q A1B2C3D4 '$out/anonymous.json'"
check "...and no computer name" bash -c "! grep -qiw '$computer' '$out/anonymous.json'"
if [ -x "$replay" ]; then
    "$replay" --check "$out/machine.json" "$out/anonymous.json" >"$out/replay.txt" 2>&1
    check "replayed natively, every answer is Wine's ($(grep -c '^ok' "$out/replay.txt") of 8)" test "$?" = 0
    grep -A30 '^FAIL' "$out/replay.txt" | head -60
else
    check "the native preset's portquell-replay is built (./test.sh builds it first)" false
fi

# The trail and the lock. Each change is one event in the Application log
# (Wine prints ReportEventW's strings with +eventlog), with the value
# before and after; a port already as asked is not written and reports
# nothing; a second run waits for the machine-wide lock, then exits 3 and
# changes nothing; a lock left by a run that ended holding it is taken over.
pq_fresh_prefix "$out/prefix-trail"
check "seed the registry" import "$here/cli-seed.reg"
traced() {  # traced ARGS...: as run, with the events' trace in events.txt
    WINEDEBUG=+eventlog wine "$cli" "$@" >"$out/stdout.txt" 2>"$out/events.txt"
    status=$?
    stdout=$(tr -d '\r' <"$out/stdout.txt")
}
traced disable COM5
check "disable COM5 exits 0" test "$status" = 0
check "...reports event 1000 as information" grep -qE 'ReportEventW \([0-9A-F]+,0x0004,0x0000,0x000003e8,' "$out/events.txt"
check "...naming the port, the value before and after" grep -qF \
    'COM5: HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A1B2C3D4A\\0000\\Device Parameters, SkipEnumerations: none -> REG_DWORD FF FF FF FF' \
    "$out/events.txt"
check "...the command line and the account" grep -qF 'Command line: portquell-cli disable COM5\r\nAccount: ' "$out/events.txt"
check "...registered as the event source" bash -c "wine reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Portquell' /v EventMessageFile 2>/dev/null | grep -q 'portquell-cli.exe'"
traced disable COM5
check "disable COM5 again: off already" test "$stdout" = "COM5: off already"
check "...and no event" bash -c "! grep -q ReportEventW '$out/events.txt'"
traced guard on
check "guard on exits 0" test "$status" = 0
# (Wine's trace shows an event's first 300 characters or so: the record,
# written first; the entry and switch lines are the unit tests'.)
check "...reports event 1000 with its record first" bash -c "grep -F 'Command line: portquell-cli guard on' '$out/events.txt' | grep -qF 'Guard, State: none -> REG_SZ \\\"started\\\"'"
wine "$inspect" holdlock 14 >"$out/lock.txt" 2>&1 &
holder=$!
for i in $(seq 1 60); do grep -q held "$out/lock.txt" 2>/dev/null && break; sleep 0.5; done
run enable COM5
check "a run while another holds the lock exits 3" test "$status" = 3
check "...says so" grep -qF 'another Portquell run is changing this PC; nothing was changed' "$out/stderr.txt"
check "...and changes nothing" test "$(skip_of "$FTDI")" = 0xffffffff
wait "$holder"
wine "$inspect" holdlock 3 abandon >"$out/lock.txt" 2>&1 &
holder=$!
for i in $(seq 1 60); do grep -q held "$out/lock.txt" 2>/dev/null && break; sleep 0.5; done
run enable COM5
wait "$holder"
check "a lock left by a run that ended holding it is taken over" test "$status" = 0
check "...and said" grep -qF 'ended midway' "$out/stderr.txt"
check "...and the change made" test "$(skip_of "$FTDI")" = 0x0

# identify: a port appears when its instance key is made under Enum (Wine
# lists it at its next listing).
pq_fresh_prefix "$out/prefix-identify"
check "seed the registry" import "$here/cli-seed.reg"
wineserver -p
wine "$cli" identify --timeout 30 >"$out/identify.txt" 2>"$out/identify-err.txt" &
identify=$!
for i in $(seq 1 60); do grep -q 'Plug in' "$out/identify-err.txt" 2>/dev/null && break; sleep 0.5; done
NEW='HKLM\SYSTEM\CurrentControlSet\Enum\USB\VID_1A86&PID_7523\5&1D2E3F&0&1'
wine reg add "$NEW\Device Parameters" /v PortName /t REG_SZ /d COM9 /f >/dev/null 2>&1
wine reg add "$NEW" /v FriendlyName /t REG_SZ /d 'USB-SERIAL CH340 (COM9)' /f >/dev/null 2>&1
wine reg add "$NEW" /v ClassGUID /t REG_SZ /d '{4D36E978-E325-11CE-BFC1-08002BE10318}' /f >/dev/null 2>&1
wait "$identify"
check "identify exits 0 when a port appears" test "$?" = 0
check "...and names it" grep -qF 'COM9 "USB-SERIAL CH340" appeared' "$out/identify.txt"
check "...with its line as list prints it" grep -qF 'USB-SERIAL CH340, VID_1A86 PID_7523, no serial number' "$out/identify.txt"
run identify --timeout 1
check "identify with nothing plugged in exits 1" test "$status" = 1

echo "$failures failed"
[ "$failures" -eq 0 ]

