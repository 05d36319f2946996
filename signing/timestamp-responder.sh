#!/usr/bin/env bash
# RFC 3161 time stamping over HTTP on 127.0.0.1 only, signed by the dev TSA,
# for osslsigncode -ts http://127.0.0.1:PORT. Runs until killed.
# usage: timestamp-responder.sh PORT
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 PORT" >&2; exit 2; }
port=$1
dev="$(cd "$(dirname "$0")" && pwd)/dev"

state=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$state"' EXIT
trap 'exit 0' INT TERM
echo 01 >"$state/serial"
cat >"$state/ts.cnf" <<CNF
[tsa]
default_tsa = dev_tsa
[dev_tsa]
serial = $state/serial
crypto_device = builtin
signer_cert = $dev/tsa.pem
certs = $dev/intermediate.pem
signer_key = $dev/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
CNF

# One openssl ts -reply per POST; the lock keeps the serial file consistent.
python3 -c '
import http.server, subprocess, sys, tempfile, os, threading
port, cnf = int(sys.argv[1]), sys.argv[2]
lock = threading.Lock()
class H(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with lock, tempfile.TemporaryDirectory() as d:
            q, r = os.path.join(d, "q"), os.path.join(d, "r")
            open(q, "wb").write(body)
            p = subprocess.run(["openssl", "ts", "-reply", "-config", cnf,
                                "-queryfile", q, "-out", r],
                               capture_output=True)
            data = open(r, "rb").read() if p.returncode == 0 else b""
        if not data:
            sys.stderr.write(p.stderr.decode(errors="replace"))
            self.send_error(500)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
http.server.ThreadingHTTPServer(("127.0.0.1", port), H).serve_forever()
' "$port" "$state/ts.cnf" &
pid=$!
wait "$pid"
