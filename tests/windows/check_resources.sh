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
echo "$failures failed"
[ "$failures" -eq 0 ]
