#!/usr/bin/env bash
# Builds the test tree (build/) and runs every test: host tests, and the Windows tests under Wine. The test
# tree always packs the demo payload, whatever ./build.sh was last given.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default
