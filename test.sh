#!/usr/bin/env bash
# Builds everything and runs every test (host tests, and the Windows tests under Wine).
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default
