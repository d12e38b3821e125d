#!/usr/bin/env bash
# Signing through scripts/sign-installer.sh with a throwaway code-signing certificate: osslsigncode accepts the
# signature against that certificate and no other, moravel-inspect still reads the payload, the same key
# gives the same signed file by either way of passing the password, and one flipped payload byte in a signed
# copy fails both checks. Leaves the signed installer at SIGNED for the end-to-end install.
#   signing_test.sh SOURCE_DIR INSTALLER INSPECT PAYLOAD SCRATCH SIGNED
set -u
source_dir=$1 installer=$2 inspect=$3 payload=$4 scratch=$5 signed=$6
. "$(dirname "$0")/check.sh"
rm -rf "$scratch" "$signed" && mkdir -p "$scratch"
sign="$source_dir/scripts/sign-installer.sh"

certificate() {  # NAME: NAME.key.pem, NAME.cert.pem and NAME.p12 (password in NAME.password)
  openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Moravel throwaway $1" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$scratch/$1.key.pem" -out "$scratch/$1.cert.pem" 2>/dev/null &&
  printf 'pass phrase of %s' "$1" > "$scratch/$1.password" &&
  openssl pkcs12 -export -inkey "$scratch/$1.key.pem" -in "$scratch/$1.cert.pem" -out "$scratch/$1.p12" \
    -passout "file:$scratch/$1.password"
}
check "make the throwaway certificates" certificate ours
check "make a second certificate" certificate other

export MORAVEL_SIGN_PKCS12=$scratch/ours.p12
unset MORAVEL_SIGN_TIMESTAMP_URL
check "sign with the password in the environment" \
  env MORAVEL_SIGN_PASSWORD="$(cat "$scratch/ours.password")" "$sign" "$installer" "$signed"
check "sign with the password in a file" \
  env MORAVEL_SIGN_PASSWORD_FILE="$scratch/ours.password" "$sign" "$installer" "$scratch/again.exe"
check "the same key and no timestamp give the same signed file" cmp -s "$signed" "$scratch/again.exe"
refused() { ! "$@" 2> /dev/null && [ ! -s "${*: -1}" ]; }  # fails, and leaves no output file
check "signing without a password is refused" refused "$sign" "$installer" "$scratch/none.exe"
check "a wrong password is refused" refused env MORAVEL_SIGN_PASSWORD=wrong "$sign" "$installer" "$scratch/wrong.exe"

verify_signature() { osslsigncode verify -CAfile "$scratch/$1.cert.pem" -in "$2" > "$scratch/verify-$1.log" 2>&1; }
refuse_signature() { ! verify_signature "$@"; }
check "osslsigncode verifies the signature against our certificate" verify_signature ours "$signed"
check "the file's digest is SHA-256: $(grep 'Message digest algorithm' "$scratch/verify-ours.log" | head -1)" \
  grep -q '^Message digest algorithm *: SHA256$' "$scratch/verify-ours.log"
check "osslsigncode refuses the signature against another certificate" refuse_signature other "$signed"
expect_inspect 0 "signed (certificate table" list "$signed"
osslsigncode remove-signature -in "$signed" -out "$scratch/removed.exe" > /dev/null 2>&1
check "removing the signature gives the unsigned installer back" cmp -s "$installer" "$scratch/removed.exe"
expect_inspect 0 "every byte as in $payload" verify "$signed" "$payload"

# One payload byte flipped in a signed copy: a ChunkStore byte, found from the descriptor.
section=$("$inspect" list "$signed" | sed -n 's/.* at file offset \(0x[0-9a-f]*\);.*/\1/p')
store=$(od -An -tu4 -j$((section + 16)) -N4 "$signed" | tr -d ' ')
at=$((section + store + 1000))
cp "$signed" "$scratch/flipped.exe"
byte=$(od -An -tu1 -j$at -N1 "$signed" | tr -d ' ')
printf "\\x$(printf %02x $((byte ^ 0x01)))" | dd of="$scratch/flipped.exe" bs=1 seek=$at conv=notrunc status=none
check "the copy differs in exactly one byte" [ "$(cmp -l "$signed" "$scratch/flipped.exe" | wc -l)" -eq 1 ]
check "osslsigncode refuses the flipped copy" refuse_signature ours "$scratch/flipped.exe"
check "because the digest differs: $(grep -i 'calculated message digest' "$scratch/verify-ours.log")" grep -q 'MISMATCH' "$scratch/verify-ours.log"
expect_inspect 1 "bin/target_cl64: corrupted" verify "$scratch/flipped.exe" "$payload"
finish
