#!/usr/bin/env bash
# Builds the installer: ./build.sh [--compress[=LEVEL]] [PAYLOAD_FOLDER]
# The release tree (build-release/) holds the packer and the installer and nothing else; without a folder the
# installer is built from the built-in demo payload. --compress stores the ChunkStore and directory as zstd
# frames (LEVEL 1 to 22, default 18): the installer for real builds. The tests build a tree of their own
# (./test.sh, build/), so what this script is given never changes what they test.
set -euo pipefail
cd "$(dirname "$0")"

fail() { echo "build.sh: $*" >&2; exit 2; }

# The payload folder's shape, checked before anything is configured or compiled, so that a wrong folder
# leaves the previous installer as it was.
check_payload_folder() {
  local folder=$1
  [ -e "$folder" ] || fail "$folder: no such folder"
  [ -d "$folder" ] || fail "$folder: not a folder (a payload folder holds license.txt and bin/target_*)"
  [ -r "$folder" ] && [ -x "$folder" ] || fail "$folder: folder cannot be read"
  local file
  for file in license.txt $(grep -o '"bin/target_[a-z0-9]*"' payload/payload_format.h | tr -d '"'); do
    [ -e "$folder/$file" ] || fail "$folder: $file is missing"
    [ -f "$folder/$file" ] || fail "$folder/$file: not a regular file"
    [ -r "$folder/$file" ] || fail "$folder/$file: cannot be read"
  done
}

usage="usage: ./build.sh [--compress[=LEVEL]] [PAYLOAD_FOLDER]"
compression=""
case ${1:-} in
  --help|-h) sed -n 2,6p "$0" | cut -c3-; exit 0 ;;
  --compress) compression=--compress; shift ;;
  --compress=*)
    level=${1#--compress=}
    [[ $level =~ ^[0-9]+$ ]] && [ "$level" -ge 1 ] && [ "$level" -le 22 ] ||
      fail "--compress takes a level from 1 to 22, not '$level'"
    compression=--compress=$((10#$level)); shift ;;
  -*) fail "unknown option $1 ($usage)" ;;
esac
case $# in
  0) payload="" ;;
  1) [ -n "$1" ] || fail "the payload folder is an empty string"
     check_payload_folder "$1"
     payload=$(realpath "$1") ;;
  *) fail "$usage" ;;
esac

scripts/bootstrap.sh
cmake --preset release -DMORAVEL_PAYLOAD_DIR="$payload" -DMORAVEL_COMPRESSION="$compression" >/dev/null
cmake --build --preset release
tree=$(pwd)/build-release
installer=$tree/windows/app/MoravelSetup.exe
echo
echo "Payload packed into the installer (from ${payload:-the demo payload in build-release/demo-payload}):"
# The packer runs only when the payload changed; it leaves its summary beside the regions it wrote.
cat "$tree/windows/app/payload_image/summary.txt"
echo
echo "Installer: $installer ($(stat -c %s "$installer") bytes)"

# ---- Sign (when given a key) and verify what ships ----
# Signing: MORAVEL_SIGN_PKCS12, with MORAVEL_SIGN_PASSWORD_FILE or MORAVEL_SIGN_PASSWORD, and optionally
# MORAVEL_SIGN_TIMESTAMP_URL (see scripts/sign-installer.sh). The check reads the executable itself with
# the installer's own reader, not the regions the packer wrote, and compares it with the payload folder.
shipped=$installer
signed=$tree/windows/app/signed/MoravelSetup.exe
rm -f "$signed"  # never leave a signature over an older build
if [ -n "${MORAVEL_SIGN_PKCS12:-}" ]; then
  scripts/sign-installer.sh "$installer" "$signed"
  shipped=$signed
  echo "Signed (Authenticode, SHA-256): $shipped ($(stat -c %s "$shipped") bytes)"
fi
folder=${payload:-$tree/demo-payload}
echo "Verifying $shipped against $folder (moravel-inspect verify):"
"$tree/tools/inspect/moravel-inspect" verify "$shipped" "$folder" | tail -n 1
