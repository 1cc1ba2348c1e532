#!/usr/bin/env bash
# Runs a Windows executable under Wine in the project's prefix. CMake uses
# it as the emulator for cross-built test executables.
set -eu
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
pq_wine_init
exec wine "$@"
