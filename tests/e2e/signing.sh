#!/bin/bash
# Authenticode signing with a throw-away certificate: scripts/sign.sh signs
# the four shipped files (with a PEM certificate and key, and with a PFX and
# its password) through a time-stamp server on loopback; each verifies
# against the throw-away authority with its signer and time stamp, and fails
# once a byte of it changes. The setup program and the MSI package built
# from signed programs carry them signed (the setup program's uninstaller
# too, installed in a fresh prefix). An unsigned build stays unsigned.
#   signing.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
BUILD="$(cd "$1" && pwd)"
WORK="$BUILD/e2e/signing"
SIGN="$ROOT/scripts/sign.sh"
rm -rf "$WORK"; mkdir -p "$WORK/files" "$WORK/bin"

CLIENT="$BUILD/bin/PylonixClient.exe" CHECK="$BUILD/bin/PylonixCheck.exe"
SETUP="$(ls "$BUILD"/bin/PylonixClient-Setup-*.exe | head -1)" MSI="$(ls "$BUILD"/bin/PylonixClient-*.msi | head -1)"
FILES=("$CLIENT" "$CHECK" "$SETUP" "$MSI")
# verify FILE: osslsigncode's report against the throw-away authority (also
# the time-stamp server's); its status in VERIFY_RC.
verify() {
    set +e
    VERIFIED="$(osslsigncode verify -CAfile "$ca" -TSA-CAfile "$ca" -in "$1" 2>&1)"
    VERIFY_RC=$?
    set -e
}
# The file's signer, as the verifier names it.
signer() { awk '/^Signer.s certificate:/ { f = 1 } f && /Subject:/ { sub(/^[ \t]*Subject: /, ""); print; exit }' <<< "$VERIFIED"; }
signed_by_us() {
    verify "$1"
    [ "$VERIFY_RC" = 0 ] && [ "$(signer)" = "$subject" ] && grep -q '^Signature verification: ok' <<< "$VERIFIED" &&
        grep -q '^Timestamp Server Signature verification: ok' <<< "$VERIFIED"
}

eval "$("$ROOT/tests/e2e/throwaway-cert.sh" "$WORK/certs" "Pylonix Test Signing")"
echo "     signer: $subject"

if [ "$(cat "$BUILD/signing.stamp")" = unsigned ]; then
    unsigned=0
    for f in "${FILES[@]}"; do verify "$f"; [ "$VERIFY_RC" != 0 ] && grep -qi 'no signature' <<< "$VERIFIED" && unsigned=$((unsigned + 1)); done
    check "a build given no certificate leaves all four files unsigned" '[ $unsigned = 4 ]'
fi

python3 "$ROOT/tests/e2e/tsa.py" "$WORK/certs" "$WORK/tsa-port" & TSA_PID=$!
trap 'kill $TSA_PID 2>/dev/null; wineserver -k 2>/dev/null; stop_display "$WORK/prefix"' EXIT
wait_until '[ -s "$WORK/tsa-port" ]' 30
export PYLONIX_SIGN_TIMESTAMP="http://127.0.0.1:$(cat "$WORK/tsa-port")/"

cp "${FILES[@]}" "$WORK/files/"
cd "$WORK/files"
set +e
PYLONIX_SIGN_CERT= "$SIGN" PylonixCheck.exe 2>/dev/null; no_cert=$?
PYLONIX_SIGN_CERT="$pfx" PYLONIX_SIGN_PASS=wrong "$SIGN" PylonixCheck.exe 2>/dev/null; wrong_pass=$?
set -e
check "without a certificate sign.sh refuses (2); with a wrong password it fails (1) and leaves the file as it was" \
    '[ $no_cert = 2 ] && [ $wrong_pass = 1 ] && cmp -s PylonixCheck.exe "$CHECK" && ! ls | grep -q "\.signed$\|\.unsigned$"'

PYLONIX_SIGN_CERT="$cert" PYLONIX_SIGN_KEY="$key" "$SIGN" PylonixClient.exe PylonixCheck.exe
PYLONIX_SIGN_CERT="$pfx" PYLONIX_SIGN_PASS="$pfx_pass" "$SIGN" "$(basename "$SETUP")" "$(basename "$MSI")"
for f in PylonixClient.exe PylonixCheck.exe "$(basename "$SETUP")" "$(basename "$MSI")"; do
    check "$f: signed by the throw-away certificate, time-stamped, verified" 'signed_by_us "$f"'
    # A byte in the middle (code, the setup program's packed data, the
    # package's cabinet) changed after signing.
    cp "$f" "changed-$f"
    offset=$(( $(stat -c %s "$f") / 2 ))
    printf "\\x$(printf %02x $(( ($(od -An -tu1 -j $offset -N1 "$f") + 1) % 256 )))" |
        dd of="changed-$f" bs=1 seek=$offset conv=notrunc status=none
    verify "changed-$f"
    check "$f with one byte changed fails verification" '[ "$VERIFY_RC" != 0 ] && ! cmp -s "$f" "changed-$f"'
done
check "each signature got its time stamp from the server" '[ "$(cat "$WORK/certs/tsa-replies")" -ge 4 ]'
# Signed again (a rebuild signs a signed file): one signature, the new one.
cp PylonixCheck.exe again.exe
eval "$("$ROOT/tests/e2e/throwaway-cert.sh" "$WORK/certs" "Someone Else")"
PYLONIX_SIGN_CERT="$cert" PYLONIX_SIGN_KEY="$key" "$SIGN" again.exe
check "a signed file signed again carries the new signer alone" \
    'signed_by_us again.exe && grep -q "^Number of verified signatures: 1$" <<< "$VERIFIED"'
eval "$("$ROOT/tests/e2e/throwaway-cert.sh" "$WORK/certs" "Pylonix Test Signing")"

# Packed from signed programs, as the build does when given a certificate:
# the setup program signs its uninstaller before packing it and itself once
# written; the MSI package is signed after it is built.
export PYLONIX_SIGN_CERT="$cert" PYLONIX_SIGN_KEY="$key"
cp PylonixClient.exe PylonixCheck.exe "$WORK/bin/"
makensis -V2 -DVERSION=12.000.000.0000 -DBIN="$WORK/bin" -DSIGN="$SIGN" -DOUT="$WORK/PylonixClient-Setup-signed.exe" \
    "$ROOT/installer/PylonixClient.nsi" > "$WORK/makensis.log"
"$ROOT/installer/build-msi.sh" 12.000.000.0000 "$WORK/bin" "$WORK/package.msi"
"$SIGN" "$WORK/package.msi"
check "the setup program and the MSI package built so are signed" 'signed_by_us "$WORK/PylonixClient-Setup-signed.exe" && signed_by_us "$WORK/package.msi"'
mkdir -p "$WORK/unpacked" && (cd "$WORK/unpacked" && msiextract ../package.msi > /dev/null)
inner="$(find "$WORK/unpacked" -name PylonixCheck.exe | head -1)"
check "the MSI package holds the programs signed" '[ -n "$inner" ] && signed_by_us "$inner"'

new_prefix win32 "$WORK/prefix" "$BUILD"
cp "$WORK/PylonixClient-Setup-signed.exe" "$WINEPREFIX/drive_c/PylonixSetup.exe"
set +e; timeout 300 wine 'C:\PylonixSetup.exe' /S > /dev/null 2>&1; set -e
PROGRAMS="$WINEPREFIX/drive_c/Program Files/Pylonix"
check "the setup program installs signed programs and a signed uninstaller" \
    'signed_by_us "$PROGRAMS/PylonixClient.exe" && signed_by_us "$PROGRAMS/PylonixCheck.exe" && signed_by_us "$PROGRAMS/uninstall.exe"'

exit $((failures > 0))
