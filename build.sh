#!/usr/bin/env bash
# Builds the installer: ./build.sh [PAYLOAD_FOLDER]
# Without a folder the installer is built from the built-in demo payload. The result is
# build/windows/app/MoravelSetup.exe; the packer's summary of the payload inside it is printed at the end.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
payload=""
if [ $# -gt 0 ]; then
  payload=$(realpath "$1")
fi
cmake --preset default -DMORAVEL_PAYLOAD_DIR="$payload" >/dev/null
cmake --build --preset default 2>&1 | tee build/build.log
# The packer runs only when the payload changed; keep its last summary for the builds that reuse it.
summary=$(sed -n '/^entry  *size  *ChunkRefs/,/^packed in/p' build/build.log)
[ -n "$summary" ] && printf '%s\n' "$summary" > build/packer-summary.txt
installer=$(pwd)/build/windows/app/MoravelSetup.exe
echo
echo "Payload packed into the installer (from ${payload:-the demo payload in build/demo-payload}):"
cat build/packer-summary.txt 2>/dev/null || echo "(no packer summary recorded)"
echo
echo "Installer: $installer ($(stat -c %s "$installer") bytes)"
