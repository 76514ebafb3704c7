#!/usr/bin/env bash
# A throw-away code-signing chain for the tests: DIR/ca.pem (the root to verify
# against), DIR/signer.p12 (certificate and key) and DIR/password (its password).
# Usage: bash tests/release/make-test-pki.sh DIR
set -euo pipefail
dir=${1:?usage: make-test-pki.sh DIR}
mkdir -p "$dir"
cd "$dir"
quiet() { "$@" 2>/dev/null; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=norq throw-away test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
quiet openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=norq throw-away signer"
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
quiet openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 2 -extfile signer.ext
# A blank in the password: it must survive the file and the environment intact.
printf 'throw away %s\n' "$RANDOM" >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
  -passout file:password
