#!/usr/bin/env bash
# A signing run that fails part-way (a time-stamp server that stops answering
# at the Nth request, a CMS signature that cannot be made) leaves no file of
# the release in the output folder; one that succeeds leaves SHA256SUMS.p7s
# with an RFC 3161 time stamp over its signature, checked as docs/releasing.md says.
#   bash release.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"
E2E_NAME=release
DIST=$(cd "$(dirname "$1")" && pwd)
mkdir -p "$3/release" && E2E_ARTIFACTS=$(cd "$3" && pwd) && work=$E2E_ARTIFACTS/release
E2E_OWNED=$E2E_ARTIFACTS/release.$$.owned && : >"$E2E_OWNED" && trap e2e_cleanup EXIT
cd "$work" && rm -rf ./* && mkdir bin
for row in "signing codeSigning" "tsa critical,timeStamping"; do
    read -r name usage <<<"$row"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Release test $name" \
        -addext "extendedKeyUsage=$usage" -keyout "$name.key" -out "$name.pem" 2>/dev/null
done
openssl pkcs12 -export -inkey signing.key -in signing.pem -passout pass:pw -out signing.pfx
printf '%s\n' '[tsa]' 'default_tsa = t' '[t]' "serial = $work/serial" "signer_cert = $work/tsa.pem" signer_digest=sha256 \
    "signer_key = $work/tsa.key" default_policy=1.2.3.4 digests=sha256 ess_cert_id_alg=sha256 >tsa.cnf && echo 01 >serial
# An RFC 3161 server (openssl ts) that fails every request from the one in ./fail-at on.
cat >tsa.py <<'PY'
import http.server, subprocess
class Server(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query, count = self.rfile.read(int(self.headers["Content-Length"])), int(open("count").read()) + 1
        open("count", "w").write(str(count))
        reply = b"" if count >= int(open("fail-at").read()) else subprocess.run(["openssl", "ts", "-reply", "-config",
            "tsa.cnf", "-queryfile", "/dev/stdin", "-out", "/dev/stdout"], input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Server)
open("port", "w").write(str(server.server_port))
server.serve_forever()
PY
e2e_start python3 tsa.py && wait_for 10 test -s port || e2e_fail "the time-stamp server did not start"
# openssl as found, but with "cms -sign" failing when ./cms-fails exists.
printf '#!/bin/sh\n[ -e %q ] && [ "$1 $2" = "cms -sign" ] && exit 1\nexec %q "$@"\n' "$work/cms-fails" "$(command -v openssl)" \
    >bin/openssl && chmod +x bin/openssl
sign() {  # sign <out> <time-stamp request that fails first>
    echo 0 >count && echo "$2" >fail-at
    PATH=$work/bin:$PATH GLANCE_SIGN_CERT=signing.pfx GLANCE_SIGN_PASSWORD=pw GLANCE_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat port)/ \
        bash "$E2E_REPO_DIR/scripts/package.sh" --no-build --dist "$DIST" --out "$work/$1" >"$work/$1.log" 2>&1
}
# exe, DLL, per-user MSI, per-machine MSI, SHA256SUMS.p7s: the 4th and 5th time stamps fail; then the CMS step.
for row in "tsa4 4" "tsa5 5" "cms 99"; do
    read -r name fail_at <<<"$row"
    [ "$name" != cms ] || touch cms-fails
    ! sign "$name" "$fail_at" || e2e_fail "$name: a failed signing run succeeded"
    [ -z "$(ls -A "$name" 2>/dev/null)" ] || e2e_fail "$name: a failed signing run left $(ls -A "$name" | tr '\n' ' ')"
done
rm cms-fails
sign good 99 || e2e_fail "signing failed: $(tail -3 good.log)"
cd good && [ "$(cat ../count)" = 5 ] || e2e_fail "$(cat ../count) time stamps asked for, not 5"
# The reader's commands: the signature, then its time stamp over the signature value.
openssl cms -verify -binary -inform DER -in SHA256SUMS.p7s -content SHA256SUMS -CAfile ../signing.pem -purpose any \
    -out /dev/null 2>/dev/null || e2e_fail "SHA256SUMS.p7s does not verify"
read -r at header length < <(openssl asn1parse -inform DER -in SHA256SUMS.p7s |
    awk '/:id-smime-aa-timeStampToken/ { getline; gsub(/[^0-9]+/, " "); print $1, $3, $4; exit }')
dd if=SHA256SUMS.p7s of=token.der bs=1 skip=$((at + header)) count="$length" status=none &&
    python3 "$E2E_REPO_DIR/packaging/cms_timestamp.py" --signature SHA256SUMS.p7s >signature.bin &&
    openssl ts -verify -data signature.bin -in token.der -token_in -CAfile ../tsa.pem >/dev/null 2>&1 ||
    e2e_fail "SHA256SUMS.p7s has no time stamp that verifies"
e2e_pass
