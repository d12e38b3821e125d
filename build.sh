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

# ---- Sign (when given a key) and verify what ships ----
# Signing: MORAVEL_SIGN_PKCS12, with MORAVEL_SIGN_PASSWORD_FILE or MORAVEL_SIGN_PASSWORD, and optionally
# MORAVEL_SIGN_TIMESTAMP_URL (see scripts/sign-installer.sh). The check reads the executable itself with
# the installer's own reader, not the regions the packer wrote, and compares it with the payload folder.
shipped=$installer
signed=$(pwd)/build/windows/app/signed/MoravelSetup.exe
rm -f "$signed"  # never leave a signature over an older build
if [ -n "${MORAVEL_SIGN_PKCS12:-}" ]; then
  scripts/sign-installer.sh "$installer" "$signed"
  shipped=$signed
  echo "Signed (Authenticode, SHA-256): $shipped ($(stat -c %s "$shipped") bytes)"
fi
folder=${payload:-$(pwd)/build/demo-payload}
echo "Verifying $shipped against $folder (moravel-inspect verify):"
build/tools/inspect/moravel-inspect verify "$shipped" "$folder" | tail -n 1
