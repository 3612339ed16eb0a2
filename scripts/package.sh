#!/usr/bin/env bash
# Makes the downloads: dist/orvflash-<version>-win64.zip and dist/orvflash-<version>-win32.zip,
# each with orvflash.exe, README.txt for the user, the licence, the third-party notices, the release
# notes and, in demo\, the simulated orv_api.dll with its note; beside each zip its SHA-256
# (.zip.sha256).
# Needs no Wine.
#
# orvflash.exe and orv_api.dll are signed (Authenticode, SHA-256) before they are zipped when a
# certificate is given (release/sign_files.cmake does it):
#   ORV_SIGN_PKCS12         a PKCS#12 file (.pfx, .p12) holding the certificate and its key;
#   ORV_SIGN_PKCS11_MODULE  or, for a key on a token or smart card, the token's PKCS#11 module,
#   ORV_SIGN_PKCS11_KEY       the key on it (a PKCS#11 URI such as "pkcs11:object=orvflash"),
#   ORV_SIGN_CERTS            and the key's certificate chain (a PEM file);
#   ORV_SIGN_PASSWORD       the PKCS#12 file's password, or the token's PIN;
#   ORV_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping server (needs the network).
# Without a certificate the zips are made all the same, unsigned, and the script says so.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/report-stop.sh

scripts/setup.sh
if [ -z "${ORV_SIGN_PKCS12:-}${ORV_SIGN_PKCS11_MODULE:-}" ]; then
    echo "package: no certificate given (ORV_SIGN_PKCS12 or ORV_SIGN_PKCS11_MODULE):" \
        "orvflash.exe and orv_api.dll will NOT BE SIGNED" >&2
fi
mkdir -p dist
for preset in windows windows-x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "build/$preset/package"
    log="build/$preset/package.log"
    if ! cpack --config "build/$preset/CPackConfig.cmake" -B "build/$preset/package" >"$log" 2>&1
    then
        cat "$log" >&2
        exit 1
    fi
    # The signing step's lines: what was signed, or that nothing was.
    sed -n "s/^-- /package: $preset: /p" "$log"
    cp "build/$preset"/package/orvflash-*.zip "build/$preset"/package/orvflash-*.zip.sha256 dist/
done
ls -l dist/orvflash-*
