#!/usr/bin/env bash
# Appends a detached CMS signature to a Linux module:
# IN bytes, DER SignedData, 12-byte trailer, "~Module signature appended~\n".
# usage: sign-appended.sh [--signer CERT KEY]... [--certs FILE] IN OUT
set -euo pipefail

dev="$(cd "$(dirname "$0")" && pwd)/dev"
signers=()
certs=
while [ $# -gt 0 ]; do
    case $1 in
    --signer)
        [ $# -ge 3 ] || { echo "--signer needs CERT KEY" >&2; exit 2; }
        signers+=(-signer "$2" -inkey "$3"); shift 3 ;;
    --certs)
        [ $# -ge 2 ] || { echo "--certs needs FILE" >&2; exit 2; }
        certs=$2; shift 2 ;;
    --) shift; break ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -eq 2 ] || {
    echo "usage: $0 [--signer CERT KEY]... [--certs FILE] IN OUT" >&2; exit 2; }
in=$1 out=$2

# Default: the dev code signing leaf, carrying its intermediate.
if [ ${#signers[@]} -eq 0 ]; then
    signers=(-signer "$dev/codesign.pem" -inkey "$dev/codesign.key")
    certs=${certs:-$dev/intermediate.pem}
fi
extra=()
[ -z "$certs" ] || extra=(-certfile "$certs")

# Temp beside OUT so that IN == OUT works and the final move is atomic.
tmp=$(mktemp "$(dirname "$out")/.sign-appended.XXXXXX")
sig=$(mktemp)
trap 'rm -f "$tmp" "$sig"' EXIT

openssl cms -sign -binary -outform DER -md sha256 -nosmimecap \
    "${signers[@]}" "${extra[@]}" -in "$in" -out "$sig"

len=$(wc -c <"$sig")
{
    cat "$in" "$sig"
    # algo, hash, id_type=2 (PKCS#7), signer_len, key_id_len, pad[3]
    printf '\000\000\002\000\000\000\000\000'
    # be32 signature length
    printf '%b' "$(printf '\\%03o' $((len >> 24 & 255)) $((len >> 16 & 255)) \
        $((len >> 8 & 255)) $((len & 255)))"
    printf '~Module signature appended~\n'
} >"$tmp"
[ ! -e "$in" ] || chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
