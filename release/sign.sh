#!/usr/bin/env bash
# Signs CorvantaWebSetup.exe with Authenticode (SHA-256) using osslsigncode, and writes the
# signed copy to OUT; IN stays as built. With --timestamp-url the signature is countersigned by
# that RFC 3161 time-stamping server, so that it stays valid after the certificate expires.
set -euo pipefail

usage() {
  cat >&2 <<'EOF'
usage: release/sign.sh --cert FILE --key FILE [--password-file FILE] [--timestamp-url URL]
                       [--url URL] IN OUT
  --cert           code-signing certificate, with its intermediate certificates (PEM or DER)
  --key            its private key (PEM or DER)
  --password-file  file holding the key's password, if the key has one
  --timestamp-url  RFC 3161 time-stamping server
  --url            address shown with the signature (the vendor's home page)
EOF
  exit 2
}

cert= key= password_file= timestamp_url= url=
while [ $# -gt 0 ]; do
  case $1 in
    --cert) cert=${2:?}; shift 2 ;;
    --key) key=${2:?}; shift 2 ;;
    --password-file) password_file=${2:?}; shift 2 ;;
    --timestamp-url) timestamp_url=${2:?}; shift 2 ;;
    --url) url=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    --*) echo "sign.sh: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -eq 2 ] && [ -n "$cert" ] && [ -n "$key" ] || usage
in=$1 out=$2

for file in "$in" "$cert" "$key" ${password_file:+"$password_file"}; do
  [ -r "$file" ] || { echo "sign.sh: cannot read $file" >&2; exit 1; }
done
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }

args=(sign -h sha256 -n "Corvanta Web Setup" -certs "$cert" -key "$key")
[ -z "$password_file" ] || args+=(-readpass "$password_file")
[ -z "$url" ] || args+=(-i "$url")
[ -z "$timestamp_url" ] || args+=(-ts "$timestamp_url")

mkdir -p "$(dirname "$out")"
# A failed run must not leave a half-written file where the signed exe is expected.
partial="$out.partial"
rm -f "$partial"
trap 'rm -f "$partial"' EXIT
osslsigncode "${args[@]}" -in "$in" -out "$partial" >/dev/null
mv -f "$partial" "$out"
echo "signed $out${timestamp_url:+ (time stamp from $timestamp_url)}"
