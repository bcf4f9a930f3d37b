#!/bin/sh
# Builds the throwaway CA and the server certificates the local HTTPS listeners
# present: one good certificate and one for each way a client must refuse a peer.
# Usage: make_certs.sh DIR   (does nothing when DIR/ca.pem already exists)
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 DIR" >&2
    exit 2
fi
mkdir -p "$1"
dir=$(cd "$1" && pwd)
[ -e "$dir/ca.pem" ] && exit 0

work=$(mktemp -d "$dir/.certs.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

# openssl is chatty even when it succeeds; keep its output unless something fails.
Run() {
    "$@" >>log 2>&1 || { cat log >&2; echo "make_certs.sh: failed: $*" >&2; exit 1; }
}

# Windows may cache certificates by issuer and serial, so every one gets its own.
Serial() {
    echo "0x$(openssl rand -hex 8)"
}

cat >openssl.cnf <<'CNF'
[req]
distinguished_name = req_dn
prompt = no
[req_dn]
CN = unused

[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash

[server_ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:raw.githubusercontent.com, DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer

[wronghost_ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.example
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid, issuer

[selfsigned_ext]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:raw.githubusercontent.com, DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash

# Only "openssl ca" accepts explicit start and end dates, which the expired
# certificate needs; this is its minimal bookkeeping.
[ca]
default_ca = test_ca
[test_ca]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = policy_any
unique_subject = no
copy_extensions = none
[policy_any]
commonName = supplied
CNF
: >index.txt
openssl rand -hex 8 >serial

Run openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 7300 \
    -config openssl.cnf -extensions ca_ext \
    -subj "/O=Varnook Tests/CN=Varnook Test CA" -keyout ca.key -out ca.pem
Run openssl x509 -in ca.pem -outform DER -out ca.der

NewRequest() {  # name subject
    Run openssl req -new -newkey rsa:2048 -nodes -sha256 -config openssl.cnf \
        -subj "$2" -keyout "$1.key" -out "$1.csr"
}

NewRequest server "/CN=raw.githubusercontent.com"
Run openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -set_serial "$(Serial)" \
    -sha256 -days 3650 -extfile openssl.cnf -extensions server_ext -out server.pem

NewRequest wronghost "/CN=wrong.example"
Run openssl x509 -req -in wronghost.csr -CA ca.pem -CAkey ca.key -set_serial "$(Serial)" \
    -sha256 -days 3650 -extfile openssl.cnf -extensions wronghost_ext -out wronghost.pem

NewRequest expired "/CN=raw.githubusercontent.com"
Run openssl ca -batch -notext -config openssl.cnf -name test_ca \
    -cert ca.pem -keyfile ca.key -md sha256 -policy policy_any \
    -startdate "$(date -u -d '-30 days' +%Y%m%d%H%M%SZ)" \
    -enddate "$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)" \
    -extfile openssl.cnf -extensions server_ext -in expired.csr -out expired.pem

Run openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -config openssl.cnf -extensions selfsigned_ext -set_serial "$(Serial)" \
    -subj "/CN=raw.githubusercontent.com" -keyout selfsigned.key -out selfsigned.pem

# ca.pem goes last: its presence is what marks the folder as complete.
for name in server wronghost expired selfsigned; do
    mv -f "$name.key" "$name.pem" "$dir/"
done
mv -f ca.key ca.der "$dir/"
mv -f ca.pem "$dir/"
