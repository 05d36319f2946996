#!/usr/bin/env bash
# Signs a built file with a certificate of the development PKI, the way its
# build's platform checks it: Authenticode (osslsigncode) for Windows files,
# the appended CMS signature for Linux ones.
# usage: sign-binary.sh pe|appended [--timestamp] NAME... IN OUT
#   NAME is a leaf of signing/dev/ (codesign, expired-codesign, ...); several
#   names give several signers (appended signatures only). --timestamp has
#   the signature time-stamped by a responder on 127.0.0.1 (pe only).
set -euo pipefail

dev="$(cd "$(dirname "$0")" && pwd)/dev"
format=$1
shift
timestamp=false
if [ "${1:-}" = --timestamp ]; then
    timestamp=true
    shift
fi
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
    stamp=()
    if $timestamp; then
        port=$((20000 + RANDOM % 20000))
        "$(dirname "$0")/timestamp-responder.sh" "$port" </dev/null >/dev/null 2>&1 &
        responder=$!
        trap 'kill "$responder" 2>/dev/null; rm -f "$tmp"' EXIT
        for _ in $(seq 50); do
            (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
            sleep 0.1
        done
        stamp=(-ts "http://127.0.0.1:$port")
    fi
    osslsigncode sign -certs "$dev/${names[0]}-chain.pem" -key "$dev/${names[0]}.key" \
        -h sha256 "${stamp[@]}" -in "$in" -out "$tmp" >/dev/null
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
