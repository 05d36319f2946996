#!/usr/bin/env bash
# Signs a built file with a certificate of the development PKI, the way its
# build's platform checks it: Authenticode (osslsigncode) for Windows files,
# the appended CMS signature for Linux ones.
# usage: sign-binary.sh pe|appended NAME... IN OUT
#   NAME is a leaf of signing/dev/ (codesign, expired-codesign, ...); several
#   names give several signers (appended signatures only).
set -euo pipefail

dev="$(cd "$(dirname "$0")" && pwd)/dev"
format=$1
shift
names=()
while [ $# -gt 2 ]; do
    names+=("$1")
    shift
done
in=$1 out=$2
[ ${#names[@]} -gt 0 ] || names=(codesign)

issuer_of() {
    case $1 in
    other-codesign) echo "$dev/other-root.pem" ;;
    *) echo "$dev/intermediate.pem" ;;
    esac
}

tmp=$(mktemp "$(dirname "$out")/.sign-binary.XXXXXX")
trap 'rm -f "$tmp"' EXIT
case $format in
pe)
    [ ${#names[@]} -eq 1 ] || { echo "one signer per Authenticode signature" >&2; exit 2; }
    rm -f "$tmp"
    osslsigncode sign -certs "$dev/${names[0]}-chain.pem" -key "$dev/${names[0]}.key" \
        -h sha256 -in "$in" -out "$tmp" >/dev/null
    ;;
appended)
    signers=()
    for name in "${names[@]}"; do
        signers+=(--signer "$dev/$name.pem" "$dev/$name.key")
    done
    # Every signer's issuer travels with the signature.
    certs=$(mktemp)
    trap 'rm -f "$tmp" "$certs"' EXIT
    for name in "${names[@]}"; do issuer_of "$name"; done | sort -u | xargs cat >"$certs"
    "$(dirname "$0")/sign-appended.sh" "${signers[@]}" --certs "$certs" "$in" "$tmp"
    ;;
*)
    echo "unknown format $format" >&2
    exit 2
    ;;
esac
chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
