#!/bin/bash
# A throw-away code-signing certificate for tests, never for shipping:
#   tests/e2e/throwaway-cert.sh DIR NAME
# DIR holds one small certificate authority (made with the first leaf and
# kept for the next, so that every leaf of DIR verifies against it) and the
# leaf whose subject is "CN=NAME, O=Pylonix Tests", with the codeSigning
# extended key usage. Prints, one per line, KEY=VALUE (for eval):
#   subject  the leaf's subject, as a verifier prints it
#   ca       the authority's certificate (PEM), to verify against
#   cert     the leaf's certificate (PEM)
#   key      its private key (PEM, no password)
#   pfx      leaf, key and authority as PKCS#12, password in pfx_pass
set -euo pipefail
[ $# -eq 2 ] || { sed -n '2,13p' "$0" >&2; exit 2; }
dir="$1" name="$2"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
base="$dir/$(printf '%s' "$name" | tr -c 'A-Za-z0-9._-' '_')"
ssl() { openssl "$@" 2>/dev/null; }

if [ ! -s "$dir/ca.pem" ]; then
    ssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Pylonix Throw-away Test CA/O=Pylonix Tests" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
        -keyout "$dir/ca.key" -out "$dir/ca.pem"
fi
ssl req -newkey rsa:2048 -nodes -subj "/CN=$name/O=Pylonix Tests" -keyout "$base.key" -out "$base.csr"
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature extendedKeyUsage=codeSigning \
    subjectKeyIdentifier=hash authorityKeyIdentifier=keyid > "$base.ext"
ssl x509 -req -in "$base.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 3650 \
    -extfile "$base.ext" -out "$base.pem"
ssl pkcs12 -export -in "$base.pem" -inkey "$base.key" -certfile "$dir/ca.pem" -passout pass:throwaway -out "$base.pfx"
rm -f "$base.csr" "$base.ext"

q() { printf '%q' "$1"; }
echo "subject=$(q "$(openssl x509 -in "$base.pem" -noout -subject -nameopt compat | sed 's/^subject=//')")"
echo "ca=$(q "$dir/ca.pem")"
echo "cert=$(q "$base.pem")"
echo "key=$(q "$base.key")"
echo "pfx=$(q "$base.pfx")"
echo "pfx_pass=throwaway"
