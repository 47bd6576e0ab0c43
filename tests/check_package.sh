#!/usr/bin/env bash
# The signed medium and its winget package, made as a release makes them,
# for the tests that install from them (Uninstall.SignedMedium*) and read
# the manifest (SetupUsage.*): a throwaway certificate authority and signer,
# the Tilewright medium of the build, its Setup.exe and packed uninstaller
# signed by scripts/sign.sh (with a password-protected key), then
# - each signature verified against the throwaway authority, and a changed
#   byte or an unsigned program refused by the same verification;
# - the signed programs' PE headers checked as the build's are;
# - the zip and manifests of scripts/make-winget-manifest.sh: the zip holds
#   the signed medium, the manifest names its hash.
# Writes <build>/package/{medium,winget}. Runs inside a Wine session.
#   check_package.sh <objdump> <pei-i386|pei-x86-64> <build dir> [--i386]
set -uo pipefail
objdump="$1"
format="$2"
build="$3"
emulated=("${@:4}")
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$build/package"
keys="$out/keys"
medium="$out/medium"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$out"
mkdir -p "$keys"
cat > "$keys/openssl.cnf" <<'EOF'
[req]
distinguished_name = dn
[dn]
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
echo "throwaway-$$" > "$keys/password"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$keys/ca.key" -out "$keys/ca.pem" -days 2 \
  -subj "/CN=Tilewright Test Authority" -config "$keys/openssl.cnf" -extensions authority > /dev/null 2>&1 &&
openssl req -new -newkey rsa:2048 -passout "file:$keys/password" -keyout "$keys/signer.key" -out "$keys/signer.csr" \
  -subj "/CN=Tilewright Test Signer" -config "$keys/openssl.cnf" > /dev/null 2>&1 &&
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
  -extfile "$keys/openssl.cnf" -extensions signer -out "$keys/signer.pem" > /dev/null 2>&1 ||
  { echo "FAIL: openssl could not make the throwaway certificates"; exit 1; }

bash "$root/scripts/wine-run.sh" "${emulated[@]}" "$build/tools/mkmedium/mkmedium.exe" build \
  "$build/tilewright/Tilewright.ini" "$medium" > "$out/mkmedium.log" 2>&1 ||
  { cat "$out/mkmedium.log"; echo "FAIL: mkmedium could not make the medium"; exit 1; }
cp "$build/app/Setup.exe" "$medium/Setup.exe"

started=$(date +%s%N)
bash "$root/scripts/sign.sh" --cert "$keys/signer.pem" --key "$keys/signer.key" \
  --pass-file "$keys/password" --medium "$medium" || { echo "FAIL: sign.sh failed"; exit 1; }
echo "signing both programs: $(( ($(date +%s%N) - started) / 1000000 )) ms"

verify() {
  osslsigncode verify -CAfile "$keys/ca.pem" -in "$1" > "$1.verify" 2>&1 &&
    grep -q "^Signature verification: ok" "$1.verify" && grep -q "Subject: /CN=Tilewright Test Signer" "$1.verify"
}
for pair in "Setup.exe:app/Setup.exe" "_Uninst.ex_:uninst/Uninst.exe"; do
  signed="$medium/${pair%%:*}"
  unsigned="$build/${pair#*:}"
  if verify "$signed"; then
    echo "${pair%%:*}: signature verified, $(stat -c %s "$unsigned") -> $(stat -c %s "$signed") bytes"
  else
    cat "$signed.verify"
    fail "${pair%%:*}: the signature does not verify against the throwaway authority"
  fi
  rm -f "$signed.verify"
  tampered="$out/tampered.exe"
  cp "$signed" "$tampered"
  printf 'X' | dd of="$tampered" bs=1 seek=4096 conv=notrunc status=none
  verify "$tampered" && fail "${pair%%:*}: a changed byte still verifies"
  cp "$unsigned" "$out/unsigned.exe"
  verify "$out/unsigned.exe" && fail "${pair#*:}: the unsigned program verifies"
  rm -f "$tampered" "$tampered.verify" "$out/unsigned.exe" "$out/unsigned.exe.verify"
done

bash "$root/tests/check_pe_header.sh" "$objdump" "$format" "$medium/Setup.exe" "$medium/_Uninst.ex_" ||
  fail "the signed programs' PE headers"

arch=x64
[ "$format" = pei-i386 ] && arch=x86
bash "$root/scripts/make-winget-manifest.sh" --arch "$arch" --url "https://example.invalid/Tilewright.zip" \
  "$medium" "$out/winget" || fail "make-winget-manifest.sh failed"
zip=$(ls "$out"/winget/Tilewright-*.zip)
installer=$(ls "$out"/winget/manifests/t/TilewrightSoftware/Tilewright/*/*.installer.yaml)
for file in Setup.exe Setup.dat _Uninst.ex_ Data.dat; do
  unzip -p "$zip" "$file" | cmp -s - "$medium/$file" || fail "the zip's $file is not the signed medium's"
done
sha=$(sha256sum "$zip" | awk '{ print toupper($1) }')
grep -q "^    InstallerSha256: $sha$" "$installer" || fail "the installer manifest does not name the zip's hash $sha"
grep -q "^  - Architecture: $arch$" "$installer" || fail "the installer manifest is not for $arch"

[ "$failures" -eq 0 ] && echo "signed medium and winget package: sound"
[ "$failures" -eq 0 ]
