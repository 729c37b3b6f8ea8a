#!/usr/bin/env bash
# Makes two throwaway certificate authorities, each with a server certificate for HOST: the
# first is the one the sandbox trusts, the second one nobody trusts. Nothing is ever committed.
# RSA, not ECDSA: Wine 8 rejects an ECDSA signature whose r or s is shorter than the curve
# size (about one fresh certificate in a hundred), and WinINet then fails with 12045.
set -euo pipefail
dir=$1
host=$2
mkdir -p "$dir"
cd "$dir"
make_pair() {
  local ca=$1 server=$2
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 \
    -subj "/CN=Corvanta test authority $ca" -keyout "$ca.key" -out "$ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes \
    -subj "/CN=$host" -keyout "$server.key" -out "$server.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$host" > "$server.ext"
  openssl x509 -req -in "$server.csr" -CA "$ca.pem" -CAkey "$ca.key" -CAcreateserial -days 2 \
    -extfile "$server.ext" -out "$server.pem" 2>/dev/null
  rm -f "$server.csr" "$server.ext"
}
make_pair ca server
make_pair other-ca other-server
echo "$dir"
