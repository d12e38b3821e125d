#!/usr/bin/env bash
# moravel-inspect over the full-scale installer, warm (installer and folder in the page cache), each figure
# beside the load average of the moment and beside its yardstick measured in the same round:
#   verify            vs payloadHash of the five entries on the same two threads (and on one, and the
#                     packer's interleaved hash on one thread, for reference)
#   verify FOLDER     (no yardstick but the goal)
#   extract OUT       vs verify + one write of each of the five files from memory
#   osslsigncode sign and verify of the installer with a throwaway certificate
#   bench/inspect_benchmark.sh BUILD_DIR INSTALLER FULL_SCALE_FOLDER WORK_DIR [ROUNDS]
set -euo pipefail
build=$1 installer=$2 folder=$3 work=$4 rounds=${5:-3}
inspect=$build/tools/inspect/moravel-inspect hash=$build/bench/moravel-hash-bench
here=$(dirname "$(readlink -f "$0")")
mkdir -p "$work"
load() { cut -d' ' -f1 /proc/loadavg; }
wall() {  # COMMAND...: wall seconds of the command, its output dropped
  local start end
  start=$(date +%s.%N); "$@" > /dev/null; end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
hashed() { "$hash" "$@" | sed 's/.*: \([0-9.]*\) s.*/\1/'; }
cat "$installer" "$folder"/bin/* > /dev/null
echo "installer $(stat -c %s "$installer") bytes; entries $(cat "$folder"/bin/* | wc -c) bytes; $(nproc) cores"
printf '%-6s %9s %9s %9s %9s %7s  %9s %7s  %9s %9s %9s %7s\n' round hash2 hash1 chains verify ratio \
  verifyF load extract write "v+write" ratio
for round in $(seq "$rounds"); do
  h2=$(hashed hash "$folder" 2); h1=$(hashed hash "$folder" 1); hc=$(hashed chains "$folder")
  l1=$(load); v=$(wall "$inspect" verify "$installer")
  vf=$(wall "$inspect" verify "$installer" "$folder"); l2=$(load)
  rm -rf "$work/out" "$work/written" && mkdir -p "$work/written"
  sync; sleep 2  # the writeback of the last round's files out of the way
  e=$(wall "$inspect" extract "$installer" "$work/out")
  sync; sleep 2
  w=$(hashed write "$folder" "$work/written")
  printf '%-6s %9.3f %9.3f %9.3f %9.3f %7.2f  %9.3f %7s  %9.3f %9.3f %9.3f %7.2f\n' "$round" "$h2" "$h1" "$hc" "$v" \
    "$(echo "$v / $h2" | bc -l)" "$vf" "$l1/$l2" "$e" "$w" "$(echo "$v + $w" | bc -l)" "$(echo "$e / ($v + $w)" | bc -l)"
done
rm -rf "$work/out" "$work/written"

# Signing and verifying the signature, with a throwaway certificate and no timestamp server.
cd "$work"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Moravel benchmark" \
  -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem 2> /dev/null
printf bench > password
openssl pkcs12 -export -inkey key.pem -in cert.pem -out key.p12 -passout file:password
for round in $(seq "$rounds"); do
  l=$(load)
  s=$(wall env MORAVEL_SIGN_PKCS12="$work/key.p12" MORAVEL_SIGN_PASSWORD_FILE="$work/password" \
        "$here/../scripts/sign-installer.sh" "$installer" "$work/signed.exe")
  c=$(wall osslsigncode verify -CAfile cert.pem -in signed.exe)
  printf 'sign %6.3f s   verify signature %6.3f s   load %s\n' "$s" "$c" "$l"
done
rm -f signed.exe
