#!/usr/bin/env python3
"""Adds an RFC 3161 time stamp to a detached CMS signature (DER), the way
Authenticode stamps its signatures: a time-stamp server signs the hash of the
signature value, and its token goes into the signer's unsigned attributes
(id-aa-timeStampToken). The signature stays valid after the certificate
expires, and nothing signed changes: two stampings of one signature differ
only in the token.

  cms_timestamp.py <signature.p7s> <server URL>...   (tried in turn)
  cms_timestamp.py --signature <signature.p7s>        writes the signature value

Standard library and the openssl command only.
"""
import os
import subprocess
import sys
import tempfile
import urllib.request

# 1.2.840.113549.1.9.16.2.14, DER
TIME_STAMP_TOKEN = bytes.fromhex("060b2a864886f70d010910020e")
SEQUENCE, SET, OCTET_STRING, UNSIGNED_ATTRS, EXPLICIT_0 = 0x30, 0x31, 0x04, 0xA1, 0xA0


def die(message):
    sys.exit(f"cms_timestamp.py: {message}")


def element(data, at):
    """(tag, start of contents, end) of the DER element at offset at."""
    if at + 2 > len(data):
        die("the signature is cut short")
    tag, length, start = data[at], data[at + 1], at + 2
    if length & 0x80:
        count = length & 0x7F
        if count == 0 or count > 4:
            die("the signature is not DER (indefinite or huge length)")
        length, start = int.from_bytes(data[start:start + count], "big"), start + count
    if start + length > len(data):
        die("the signature is cut short")
    return tag, start, start + length


def children(data, start, end):
    items, at = [], start
    while at < end:
        tag, begin, stop = element(data, at)
        items.append((tag, at, begin, stop))
        at = stop
    return items


def encode(tag, contents):
    n = len(contents)
    if n < 0x80:
        return bytes([tag, n]) + contents
    size = (n.bit_length() + 7) // 8
    return bytes([tag, 0x80 | size]) + n.to_bytes(size, "big") + contents


def signer_info(data):
    """The path of (tag, contents) from the ContentInfo down to the one
    SignerInfo, each as (tag, element list, index of the next step)."""
    tag, start, end = element(data, 0)
    if tag != SEQUENCE:
        die("not a CMS signature")
    path = []
    info = children(data, start, end)
    if len(info) != 2 or info[1][0] != EXPLICIT_0:
        die("not a CMS ContentInfo")
    path.append((SEQUENCE, info, 1))
    explicit = children(data, info[1][2], info[1][3])
    path.append((EXPLICIT_0, explicit, 0))
    signed = children(data, explicit[0][2], explicit[0][3])
    if signed[-1][0] != SET:
        die("no signer infos")
    path.append((SEQUENCE, signed, len(signed) - 1))
    signers = children(data, signed[-1][2], signed[-1][3])
    if len(signers) != 1:
        die(f"{len(signers)} signers: expected one")
    path.append((SET, signers, 0))
    return path, children(data, signers[0][2], signers[0][3])


def signature_value(data, fields):
    values = [f for f in fields if f[0] == OCTET_STRING]
    if len(values) != 1:
        die("no signature value in the signer info")
    return data[values[0][2]:values[0][3]]


def with_token(data, token):
    """The signature with token as its only unsigned attribute."""
    path, fields = signer_info(data)
    kept = b"".join(data[f[1]:f[3]] for f in fields if f[0] != UNSIGNED_ATTRS)
    attribute = encode(SEQUENCE, TIME_STAMP_TOKEN + encode(SET, token))
    rebuilt = encode(SEQUENCE, kept + encode(UNSIGNED_ATTRS, attribute))
    for tag, items, index in reversed(path):
        rebuilt = encode(tag, b"".join(rebuilt if i == index else data[item[1]:item[3]]
                                       for i, item in enumerate(items)))
    return rebuilt


def openssl(*args, data=None):
    run = subprocess.run(["openssl", *args], input=data, capture_output=True)
    if run.returncode != 0:
        raise RuntimeError(run.stderr.decode(errors="replace").strip().splitlines()[-1:])
    return run.stdout


def stamp(value, url, work):
    """The time-stamp token of url for value, checked against the query: the
    hash, the nonce and the server's signature (by the certificates that came
    with it; whether that server is trusted is the verifier's question)."""
    query, reply, token, certs = (os.path.join(work, name) for name in ("tsq", "tsr", "token", "certs"))
    with open(os.path.join(work, "value"), "wb") as file:
        file.write(value)
    openssl("ts", "-query", "-data", file.name, "-sha256", "-cert", "-out", query)
    with open(query, "rb") as file:
        request = urllib.request.Request(url, data=file.read(),
                                         headers={"Content-Type": "application/timestamp-query"})
    with urllib.request.urlopen(request, timeout=60) as answer, open(reply, "wb") as file:
        file.write(answer.read())
    openssl("ts", "-reply", "-in", reply, "-token_out", "-out", token)
    openssl("pkcs7", "-inform", "DER", "-in", token, "-print_certs", "-out", certs)
    openssl("ts", "-verify", "-queryfile", query, "-in", reply, "-CAfile", certs, "-partial_chain")
    with open(token, "rb") as file:
        return file.read()


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--signature":
        with open(sys.argv[2], "rb") as file:
            data = file.read()
        sys.stdout.buffer.write(signature_value(data, signer_info(data)[1]))
        return
    if len(sys.argv) < 3:
        die("usage: cms_timestamp.py <signature.p7s> <server URL>...")
    target, urls = sys.argv[1], sys.argv[2:]
    with open(target, "rb") as file:
        data = file.read()
    value = signature_value(data, signer_info(data)[1])
    with tempfile.TemporaryDirectory() as work:
        for url in urls:
            try:
                token = stamp(value, url, work)
            except (OSError, RuntimeError, ValueError) as error:
                print(f"cms_timestamp.py: {url}: {error}", file=sys.stderr)
                continue
            with open(target + ".stamped", "wb") as file:
                file.write(with_token(data, token))
            os.replace(target + ".stamped", target)
            return
    die("no time-stamp server answered")


if __name__ == "__main__":
    main()
