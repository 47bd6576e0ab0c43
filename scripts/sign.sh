#!/usr/bin/env bash
# Signs programs with Authenticode (SHA-256), in place, with osslsigncode:
#   sign.sh --cert cert.pem --key key.pem [--pass PASS | --pass-file FILE]
#           [--timestamp URL] [--medium DIR] [program.exe ...]
# --cert holds the signing certificate, followed by the intermediate
# certificates of its chain; --key its private key (PEM or DER), encrypted
# with the password given, if any. --timestamp asks an RFC 3161 time-stamp
# server to countersign, so that the signature outlives the certificate.
# --medium DIR signs the medium's Setup.exe and its packed uninstaller
# "_Uninst.ex_" (in DIR, or in DIR/disk1 of a multi-disk medium): the setup
# copies the uninstaller unchanged, so the installed Uninst.exe carries the
# same signature. A program signed before gets the new signature instead.
set -euo pipefail

usage() {
  sed -n '2,5p' "$0" >&2
  exit 2
}

cert="" key="" timestamp=""
pass=()
files=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --cert) cert="${2:-}"; shift 2 ;;
    --key) key="${2:-}"; shift 2 ;;
    --pass) pass=(-pass "${2:-}"); shift 2 ;;
    --pass-file) pass=(-readpass "${2:-}"); shift 2 ;;
    --timestamp) timestamp="${2:-}"; shift 2 ;;
    --medium)
      medium="${2:-}"
      shift 2
      [ -f "$medium/_Uninst.ex_" ] || medium="$medium/disk1"
      files+=("$medium/Setup.exe" "$medium/_Uninst.ex_")
      ;;
    -*) usage ;;
    *) files+=("$1"); shift ;;
  esac
done
[ -n "$cert" ] && [ -n "$key" ] && [ "${#files[@]}" -gt 0 ] || usage

options=(-certs "$cert" -key "$key" "${pass[@]}" -h sha256 -n "Tilewright Setup")
[ -z "$timestamp" ] || options+=(-ts "$timestamp")

for file in "${files[@]}"; do
  [ -f "$file" ] || { echo "sign.sh: $file does not exist" >&2; exit 1; }
  signed="$file.signing"
  rm -f "$signed"
  if ! osslsigncode sign "${options[@]}" -in "$file" -out "$signed" > "$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "sign.sh: $file was not signed" >&2
    exit 1
  fi
  rm -f "$signed.log"
  chmod --reference="$file" "$signed"
  mv -f "$signed" "$file"
  echo "signed $file"
done
