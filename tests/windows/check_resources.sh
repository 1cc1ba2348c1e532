#!/usr/bin/env bash
# check_resources.sh PORTQUELL_EXE CLI_EXE VERSION REVISION: the manifests and
# version resources as built into the executables. The window asks for
# highestAvailable (an administrator confirms once, a standard user starts
# without a prompt); the CLI runs asInvoker (scripts and elevated prompts
# decide). Both carry the project's one version and the commit they are
# built from (or "development build").
set -u
failures=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then echo "ok   - $what"; else echo "FAIL - $what"; failures=$((failures + 1)); fi
}
level_of() { grep -a -o 'requestedExecutionLevel level="[A-Za-z]*"' "$1" | sed 's/.*level="\(.*\)"/\1/'; }
version_of() { strings -el "$1" | grep -A1 -x 'ProductVersion' | tail -1; }

check "portquell.exe requests highestAvailable" test "$(level_of "$1")" = highestAvailable
check "portquell-cli.exe runs asInvoker" test "$(level_of "$2")" = asInvoker
check "exactly one manifest level in portquell.exe" test "$(level_of "$1" | wc -l)" = 1
check "portquell.exe keeps common controls 6 and per-monitor DPI" \
    bash -c "grep -a -q 'Microsoft.Windows.Common-Controls' '$1' && grep -a -q 'PerMonitorV2' '$1'"
check "portquell.exe version $3" test "$(version_of "$1")" = "$3"
check "portquell-cli.exe version $3" test "$(version_of "$2")" = "$3"
revision_of() { strings -el "$1" | grep -A1 -x 'SourceRevision' | tail -1; }
check "portquell.exe names its source: $4" test "$(revision_of "$1")" = "$4"
check "portquell-cli.exe names its source: $4" test "$(revision_of "$2")" = "$4"
# Imports Windows loads from its KnownDLLs (never from the program's own
# folder), and the common controls from the side-by-side store through the
# manifest: a new dependency fails here until it is looked at.
known="ADVAPI32 CFGMGR32 COMCTL32 GDI32 KERNEL32 MSVCRT SETUPAPI USER32"
imports_of() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)\.[dD][lL][lL]$/\1/p' | tr a-z A-Z | sort -u; }
for exe in "$1" "$2"; do
    others=$(imports_of "$exe" | grep -vxF -f <(tr ' ' '\n' <<<"$known"))
    check "$(basename "$exe") imports only KnownDLLs: $(imports_of "$exe" | tr '\n' ' ')" \
        test -n "$(imports_of "$exe")" -a -z "$others"
done
# The events' message table, IDs 1000, 2000 and 3000 (each "%1"): Event
# Viewer formats an event through the program the source names.
messages_of() { x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n '/RT_MESSAGETABLE/,/END/p' | tr -d ' \n'; }
for exe in "$1" "$2"; do
    check "$(basename "$exe") carries the events' message table" \
        grep -q 'BEGIN0x3L,0x3e8L,0x3e8L,0x28L,0x7d0L,0x7d0L,0x38L,0xbb8L,0xbb8L,' <<<"$(messages_of "$exe")"
done
echo "$failures failed"
[ "$failures" -eq 0 ]
