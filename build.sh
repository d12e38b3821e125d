#!/usr/bin/env bash
# Builds the installer: ./build.sh [PAYLOAD_FOLDER]
# Without a folder the installer is built from the built-in demo payload. The result is
# build/windows/app/MoravelSetup.exe.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
payload=""
if [ $# -gt 0 ]; then
  payload=$(realpath "$1")
fi
cmake --preset default -DMORAVEL_PAYLOAD_DIR="$payload" >/dev/null
cmake --build --preset default
echo "Installer: $(pwd)/build/windows/app/MoravelSetup.exe"
