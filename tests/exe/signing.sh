#!/usr/bin/env bash
# A release signed with make sign's script verifies against the signing CA,
# and stripped of its signature is again byte for byte the reproducible
# build, so anyone can check a signed file against the source. Uses a
# throwaway CA and code-signing certificate made here. Given WINE, the
# signed repair also runs in the case's prefix and rewrites Order.
#
#   signing.sh SOURCE_DIR WORK_DIR BUILD_DIR [WINE]
set -euo pipefail
source_dir=$1 work=$2 build=$3 wine=${4:-}
rm -rf "$work"
mkdir -p "$work/dist"
cd "$work"

echo "throwaway $(openssl version | cut -d' ' -f1-2) password" >password
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Throwaway Test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=Throwaway Signer" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile signer.ext \
    -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.pfx \
    -passout file:password 2>/dev/null

files=(provider-order.exe provider-order-check.exe)
for file in "${files[@]}"; do
    cp "$build/$file" dist/
done
SIGN_PFX=signer.pfx SIGN_PASSWORD_FILE=password "$source_dir/scripts/sign.sh" dist
(cd dist && sha256sum -c SHA256SUMS)

for file in "${files[@]}"; do
    osslsigncode verify -CAfile ca.pem -in "dist/$file" | grep -E '^(Signature verification|Message digest algorithm)'
    osslsigncode remove-signature -in "dist/$file" -out "$file.stripped" >/dev/null
    if cmp "$build/$file" "$file.stripped"; then
        echo "$file: stripped of its signature, identical to the build"
        continue
    fi
    # lld leaves the header's checksum 0, and stripping writes a real one:
    # those four bytes alone may differ, and only from a 0.
    checksum=$(($(od -An -tu4 -j60 -N4 "$build/$file" | tr -d ' ') + 24 + 64))
    [ "$(od -An -tu4 -j$checksum -N4 "$build/$file" | tr -d ' ')" = 0 ]
    { cmp -l "$build/$file" "$file.stripped" || true; } | awk -v from=$((checksum + 1)) -v to=$((checksum + 4)) \
        '$1 < from || $1 > to { bad = 1 } END { exit bad }'
    echo "$file: stripped of its signature, identical to the build but for the checksum its linker left 0"
done

if [ -n "$wine" ]; then
    key='HKLM\SYSTEM\CurrentControlSet\Control\Print\Providers'
    "$wine" reg add "$key\\A" /f >/dev/null
    "$wine" reg add "$key" /v Order /t REG_MULTI_SZ /d 'Stale' /f >/dev/null
    "$wine" dist/provider-order.exe
    order=$("$wine" reg query "$key" /v Order | tr -d '\r' | sed -n 's/^ *Order *REG_MULTI_SZ *//p')
    "$wine" reg delete "$key" /f >/dev/null
    echo "Order after the signed repair: $order"
    [ "$order" = A ]
fi
