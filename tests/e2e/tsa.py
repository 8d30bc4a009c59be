#!/usr/bin/env python3
"""A time-stamp authority on loopback (RFC 3161 over HTTP) for the signing
test: each POSTed query is answered by `openssl ts -reply`, signed by a
time-stamping certificate issued by the throw-away authority in DIR.

    tsa.py DIR PORT_FILE     (DIR holds ca.pem and ca.key)

Writes the port it listens on into PORT_FILE, counts the replies it gave in
DIR/tsa-replies, and serves until killed."""
import http.server
import os
import subprocess
import sys
import tempfile

DIR, PORT_FILE = os.path.abspath(sys.argv[1]), sys.argv[2]
TSA = os.path.join(DIR, "tsa")
os.makedirs(TSA, exist_ok=True)


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Pylonix Throw-away Time Stamps/O=Pylonix Tests",
        "-keyout", f"{TSA}/tsa.key", "-out", f"{TSA}/tsa.csr")
with open(f"{TSA}/tsa.ext", "w") as ext:
    ext.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
              "extendedKeyUsage=critical,timeStamping\n")
openssl("x509", "-req", "-in", f"{TSA}/tsa.csr", "-CA", f"{DIR}/ca.pem", "-CAkey", f"{DIR}/ca.key",
        "-CAcreateserial", "-days", "3650", "-extfile", f"{TSA}/tsa.ext", "-out", f"{TSA}/tsa.pem")
with open(f"{TSA}/tsa.cnf", "w") as cnf:
    cnf.write(f"""[tsa]
default_tsa = here
[here]
serial = {TSA}/serial
crypto_device = builtin
signer_cert = {TSA}/tsa.pem
signer_key = {TSA}/tsa.key
certs = {DIR}/ca.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.99999.1
digests = sha256, sha1
accuracy = secs:1
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha1
""")
with open(f"{TSA}/serial", "w") as serial:
    serial.write("01\n")
replies = 0


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global replies
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as tmp:
            with open(f"{tmp}/q", "wb") as q:
                q.write(query)
            done = subprocess.run(["openssl", "ts", "-reply", "-config", f"{TSA}/tsa.cnf", "-queryfile", f"{tmp}/q",
                                   "-out", f"{tmp}/r"], capture_output=True)
            if done.returncode != 0:
                self.send_error(500, done.stderr.decode(errors="replace")[:200])
                return
            with open(f"{tmp}/r", "rb") as r:
                reply = r.read()
        replies += 1
        with open(f"{DIR}/tsa-replies", "w") as count:
            count.write(f"{replies}\n")
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(PORT_FILE + ".tmp", "w") as port:
    port.write(f"{server.server_port}\n")
os.replace(PORT_FILE + ".tmp", PORT_FILE)
server.serve_forever()
