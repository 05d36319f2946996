#!/usr/bin/env bash
# Signs a list file: its bytes (newline-terminated), then a "// SIG //" block
# holding a detached CMS SignedData without signed attributes over those bytes.
# usage: sign-list.sh [--signer CERT KEY] IN OUT
set -euo pipefail

dev="$(cd "$(dirname "$0")" && pwd)/dev"
cert="$dev/list-signing.pem" key="$dev/list-signing.key"
while [ $# -gt 0 ]; do
    case $1 in
    --signer)
        [ $# -ge 3 ] || { echo "--signer needs CERT KEY" >&2; exit 2; }
        cert=$2 key=$3; shift 3 ;;
    --) shift; break ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -eq 2 ] || { echo "usage: $0 [--signer CERT KEY] IN OUT" >&2; exit 2; }
in=$1 out=$2

tmp=$(mktemp "$(dirname "$out")/.sign-list.XXXXXX")
sig=$(mktemp)
trap 'rm -f "$tmp" "$sig"' EXIT

# The block follows the file's own line ending.
eol=$'\n'
if grep -q $'\r$' "$in"; then eol=$'\r\n'; fi

cat "$in" >"$tmp"
if [ -s "$in" ] && [ "$(tail -c 1 "$in" | od -An -tx1 | tr -d ' ')" != 0a ]; then
    printf '%s' "$eol" >>"$tmp"
fi

# The signature covers every byte above the block.
openssl cms -sign -binary -noattr -outform DER -md sha256 \
    -signer "$cert" -inkey "$key" -in "$tmp" -out "$sig"

{
    printf '// SIG // Begin signature block%s' "$eol"
    base64 -w 64 "$sig" | while IFS= read -r line; do
        printf '// SIG // %s%s' "$line" "$eol"
    done
    printf '// SIG // End signature block%s' "$eol"
} >>"$tmp"
[ ! -e "$in" ] || chmod --reference="$in" "$tmp"
mv -f "$tmp" "$out"
