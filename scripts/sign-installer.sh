#!/usr/bin/env bash
# Signs an installer with osslsigncode (Authenticode, SHA-256): scripts/sign-installer.sh IN.exe OUT.exe
#   MORAVEL_SIGN_PKCS12          the PKCS#12 file with the code-signing key and certificate (required)
#   MORAVEL_SIGN_PASSWORD_FILE   a file holding its password, or
#   MORAVEL_SIGN_PASSWORD        the password itself (handed to osslsigncode through a pipe, never as an argument)
#   MORAVEL_SIGN_TIMESTAMP_URL   an RFC 3161 timestamp server (optional)
# Without a timestamp server the signing time is the executable's own TimeDateStamp, so the same key over
# the same executable gives the same signed file. A timestamp server's answer differs at every call.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: scripts/sign-installer.sh IN.exe OUT.exe" >&2; exit 2; }
in=$1 out=$2
pkcs12=${MORAVEL_SIGN_PKCS12:?sign-installer: MORAVEL_SIGN_PKCS12 names no PKCS#12 file}
[ -f "$pkcs12" ] || { echo "sign-installer: $pkcs12: no such file" >&2; exit 2; }
command -v osslsigncode > /dev/null || { echo "sign-installer: osslsigncode is not installed (scripts/bootstrap.sh)" >&2; exit 2; }

if [ -n "${MORAVEL_SIGN_PASSWORD_FILE:-}" ]; then
  [ -r "$MORAVEL_SIGN_PASSWORD_FILE" ] || { echo "sign-installer: $MORAVEL_SIGN_PASSWORD_FILE: cannot read" >&2; exit 2; }
  exec 3< "$MORAVEL_SIGN_PASSWORD_FILE"
elif [ -n "${MORAVEL_SIGN_PASSWORD+set}" ]; then
  # printf is a shell builtin: the password appears in no process's arguments.
  exec 3< <(printf '%s' "$MORAVEL_SIGN_PASSWORD")
else
  echo "sign-installer: set MORAVEL_SIGN_PASSWORD_FILE or MORAVEL_SIGN_PASSWORD for $pkcs12" >&2
  exit 2
fi

if [ -n "${MORAVEL_SIGN_TIMESTAMP_URL:-}" ]; then
  when=(-ts "$MORAVEL_SIGN_TIMESTAMP_URL")
else
  # TimeDateStamp: a u32 of the COFF header, which follows the PE signature; the DOS header's e_lfanew gives
  # where that lies (the offsets as tools/inspect/pe_payload.cpp names them).
  dos_pe_offset_at=$((0x3C)) pe_signature_bytes=4 coff_time_date_stamp_at=4
  u32() { od -An -tu4 -j"$1" -N4 "$in" | tr -d ' '; }
  pe=$(u32 $dos_pe_offset_at)
  when=(-time "$(u32 $((pe + pe_signature_bytes + coff_time_date_stamp_at)))")
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"
osslsigncode sign -pkcs12 "$pkcs12" -readpass /dev/fd/3 -h sha256 -n Moravel "${when[@]}" -in "$in" -out "$out" > /dev/null ||
  { echo "sign-installer: osslsigncode could not sign $in with $pkcs12" >&2; exit 1; }
exec 3<&-
