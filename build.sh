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
cmake --build --preset default
installer=$(pwd)/build/windows/app/MoravelSetup.exe
echo
echo "Payload packed into the installer (from ${payload:-the demo payload in build/demo-payload}):"
# The packer runs only when the payload changed; it leaves its summary beside the regions it wrote.
cat build/windows/app/payload_image/summary.txt
echo
echo "Installer: $installer ($(stat -c %s "$installer") bytes)"
