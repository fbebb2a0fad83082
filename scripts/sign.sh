#!/usr/bin/env bash
# Signs the release in DIR (default dist) with the organisation's own
# code-signing certificate, SHA-256, and rewrites DIR/SHA256SUMS for the
# signed files. The password is read from its file by osslsigncode itself,
# so it never appears on a command line.
#
#   SIGN_PFX=cert.pfx [SIGN_PASSWORD_FILE=pass.txt] [SIGN_TIMESTAMP_URL=url] sign.sh [DIR]
#   sign.sh --check    only says whether SIGN_PFX is there
set -euo pipefail
dir=${1:-dist}
if [ -z "${SIGN_PFX:-}" ]; then
    echo "make sign needs SIGN_PFX=the .pfx file of your code-signing certificate, and SIGN_PASSWORD_FILE=a file holding its password if it has one." >&2
    exit 2
fi
[ "$dir" = --check ] && exit 0
files=(provider-order.exe provider-order-check.exe)
for file in "${files[@]}"; do
    args=(sign -pkcs12 "$SIGN_PFX" -h sha256 -n provider-order -in "$dir/$file" -out "$dir/$file.signed")
    [ -n "${SIGN_PASSWORD_FILE:-}" ] && args+=(-readpass "$SIGN_PASSWORD_FILE")
    [ -n "${SIGN_TIMESTAMP_URL:-}" ] && args+=(-ts "$SIGN_TIMESTAMP_URL")
    osslsigncode "${args[@]}" >/dev/null
    mv "$dir/$file.signed" "$dir/$file"
done
(cd "$dir" && sha256sum "${files[@]}" >SHA256SUMS)
cat "$dir/SHA256SUMS"
