#!/usr/bin/env bash
# Regenerates the development PKI in signing/dev/.
# The keys in dev/ are test material for the signature checks, never a secret.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out="$here/dev"
mkdir -p "$out"

# openssl ca needs a database; it is scratch and stays out of the tree.
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
mkdir "$db/new"
: >"$db/index.txt"

cat >"$db/ca.cnf" <<CNF
[ca]
default_ca = dev
[dev]
dir = $db
database = $db/index.txt
new_certs_dir = $db/new
serial = $db/serial
default_md = sha256
policy = anything
unique_subject = no
email_in_dn = no
copy_extensions = none
[anything]
commonName = supplied
organizationName = optional
[req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[root_ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ica_ext]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[codesign_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[noeku_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = emailProtection
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[tsa_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
CNF

start=20240101000000Z
end=20491231235959Z

# mint NAME SUBJECT SERIAL EXT ISSUER|self [START END]
mint() {
    local name=$1 subj=$2 serial=$3 ext=$4 issuer=$5
    local from=${6:-$start} to=${7:-$end}
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 \
        -out "$out/$name.key" 2>/dev/null
    openssl req -new -config "$db/ca.cnf" -key "$out/$name.key" \
        -subj "$subj" -out "$db/$name.csr"
    echo "$serial" >"$db/serial"
    local signer
    if [ "$issuer" = self ]; then
        signer=(-selfsign -keyfile "$out/$name.key")
    else
        signer=(-cert "$out/$issuer.pem" -keyfile "$out/$issuer.key")
    fi
    openssl ca -batch -notext -config "$db/ca.cnf" "${signer[@]}" \
        -preserveDN -extensions "$ext" -startdate "$from" -enddate "$to" \
        -in "$db/$name.csr" -out "$out/$name.pem" 2>/dev/null
}

vendor="/CN=Talmor Software Ltd./O=Talmor Software Ltd."

mint root "/CN=Talmor Development Root CA" 1001 root_ext self
mint intermediate "/CN=Talmor Development Code Signing CA" 1002 ica_ext root
mint codesign "$vendor" 2001 codesign_ext intermediate
mint list-signing "/CN=Talmor Trust List Signing" 2002 codesign_ext intermediate
mint tsa "/CN=Talmor Development Time Stamping" 2003 tsa_ext intermediate

# Variants that a verifier must refuse, each for one reason.
mint other-root "/CN=Untrusted Development Root CA" 3001 root_ext self
mint other-codesign "$vendor" 3002 codesign_ext other-root
mint revoked-codesign "$vendor" 5EC0DE0001 codesign_ext intermediate
mint wrongname-codesign "/CN=Unlisted Software Inc./O=Unlisted Software Inc." \
    2004 codesign_ext intermediate
mint expired-codesign "$vendor" 2005 codesign_ext intermediate \
    20200101000000Z 20210101000000Z
mint noeku-codesign "$vendor" 2006 noeku_ext intermediate

openssl x509 -in "$out/root.pem" -outform DER -out "$out/root.der"

# What a signature carries besides its leaf.
cat "$out/intermediate.pem" "$out/root.pem" >"$out/chain.pem"
# Leaf plus issuer, as osslsigncode -certs wants it.
for leaf in codesign list-signing tsa revoked-codesign wrongname-codesign \
    expired-codesign noeku-codesign; do
    cat "$out/$leaf.pem" "$out/intermediate.pem" >"$out/$leaf-chain.pem"
done
cat "$out/other-codesign.pem" "$out/other-root.pem" >"$out/other-codesign-chain.pem"

thumb() {
    openssl x509 -in "$out/$1.pem" -noout -fingerprint -sha1 |
        sed 's/^.*=//; s/://g'
}
{
    for n in root list-signing other-root; do
        echo "$n=$(thumb "$n")"
    done
    echo "revoked-serial=$(openssl x509 -in "$out/revoked-codesign.pem" \
        -noout -serial | sed 's/^serial=//')"
} >"$out/thumbprints.txt"
