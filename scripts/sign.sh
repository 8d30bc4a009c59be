#!/bin/bash
# Signs Windows programs and MSI packages in place with Authenticode
# (osslsigncode, SHA-256), with the certificate the environment names:
#   scripts/sign.sh FILE...
#   PYLONIX_SIGN_CERT       the code-signing certificate: PEM (the chain after
#                           it, if any) or PFX (PKCS#12, key included)
#   PYLONIX_SIGN_KEY        the private key of a PEM certificate (PEM);
#                           default: the certificate's own file
#   PYLONIX_SIGN_PASS       the password of the key or the PFX, if it has one
#   PYLONIX_SIGN_TIMESTAMP  an RFC 3161 time-stamp server's URL: the signature
#                           then outlives the certificate
# A file that is signed already gets the new signature in place of the old.
set -euo pipefail
cert="${PYLONIX_SIGN_CERT:-}"
if [ -z "$cert" ] || [ $# -eq 0 ]; then
    sed -n '2,13p' "$0" >&2
    exit 2
fi
[ -r "$cert" ] || { echo "sign.sh: cannot read the certificate $cert" >&2; exit 2; }
if grep -q -- '-----BEGIN' "$cert"; then
    key=(-certs "$cert" -key "${PYLONIX_SIGN_KEY:-$cert}")
else
    key=(-pkcs12 "$cert")
fi
# The password goes through a pipe, not the command line others can read.
pass=()
[ -z "${PYLONIX_SIGN_PASS:-}" ] || pass=(-readpass /dev/stdin)
stamp=()
[ -z "${PYLONIX_SIGN_TIMESTAMP:-}" ] || stamp=(-ts "$PYLONIX_SIGN_TIMESTAMP")

for file in "$@"; do
    unsigned="$file.unsigned" signed="$file.signed"
    rm -f "$unsigned" "$signed"
    if ! osslsigncode remove-signature -in "$file" -out "$unsigned" >/dev/null 2>&1; then
        cp "$file" "$unsigned"   # not signed yet
    fi
    if ! out="$(printf '%s' "${PYLONIX_SIGN_PASS:-}" |
                osslsigncode sign "${key[@]}" "${pass[@]}" "${stamp[@]}" -h sha256 -n PylonixClient \
                    -in "$unsigned" -out "$signed" 2>&1)"; then
        rm -f "$unsigned" "$signed"
        echo "sign.sh: $file could not be signed:" >&2
        echo "$out" >&2
        exit 1
    fi
    mv -f "$signed" "$file"
    rm -f "$unsigned"
done
