#!/usr/bin/env python3
"""An independent verifier of an ArdenaX bulletin board.

Written from the board's published rules alone (RFC 6962 hashing; heads signed with RSA
PKCS #1 v1.5 over SHA-256 of "ardenax-board-v1\\n<size>\\n<root>\\n<time>"). It checks
the signed head, then every entry against its root or one receipt's inclusion proof, and
that the board only grew since the last head it saw (--state). Exit 0, or 1 and why.
"""
import argparse
import base64
import hashlib
import json
import os
import ssl
import sys
import urllib.error
import urllib.request

from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import padding

PAGE = 5000


class Refused(Exception):
    pass


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def unb64url(text):
    if not isinstance(text, str) or len(text) != 43:
        raise Refused("the board gave a malformed hash")
    data = base64.urlsafe_b64decode(text + "=")
    if b64url(data) != text:
        raise Refused("the board gave a malformed hash")
    return data


def leaf_hash(data):
    return hashlib.sha256(b"\x00" + data).digest()


def node_hash(left, right):
    return hashlib.sha256(b"\x01" + left + right).digest()


def root_of(leaf_hashes):
    """RFC 6962's tree head, keeping the complete subtrees only."""
    stack = []
    for count, leaf in enumerate(leaf_hashes):
        stack.append(leaf)
        while count & 1:
            right = stack.pop()
            stack[-1] = node_hash(stack[-1], right)
            count >>= 1
    if not stack:
        return hashlib.sha256(b"").digest()
    root = stack[-1]
    for subtree in reversed(stack[:-1]):
        root = node_hash(subtree, root)
    return root


def inclusion_holds(leaf, index, size, path, root):
    """RFC 9162, section 2.1.3.2."""
    if index >= size:
        return False
    fn, sn, r = index, size - 1, leaf
    for p in path:
        if sn == 0:
            return False
        if fn & 1 or fn == sn:
            r = node_hash(p, r)
            while not fn & 1 and fn != 0:
                fn, sn = fn >> 1, sn >> 1
        else:
            r = node_hash(r, p)
        fn, sn = fn >> 1, sn >> 1
    return sn == 0 and r == root


def consistency_holds(first, second, first_root, second_root, path):
    """RFC 9162, section 2.1.4.2."""
    if first == second:
        return not path and first_root == second_root
    if first == 0 or first > second or not path:
        return False
    if first & (first - 1) == 0:
        path = [first_root] + path
    fn, sn = first - 1, second - 1
    while fn & 1:
        fn, sn = fn >> 1, sn >> 1
    fr = sr = path[0]
    for c in path[1:]:
        if sn == 0:
            return False
        if fn & 1 or fn == sn:
            fr, sr = node_hash(c, fr), node_hash(c, sr)
            while not fn & 1 and fn != 0:
                fn, sn = fn >> 1, sn >> 1
        else:
            sr = node_hash(sr, c)
        fn, sn = fn >> 1, sn >> 1
    return fr == first_root and sr == second_root and sn == 0


class Board:
    def __init__(self, url, ca_file):
        self.url = url.rstrip("/")
        self.context = ssl.create_default_context(cafile=ca_file)

    def read(self, path, missing_ok=False):
        try:
            with urllib.request.urlopen(self.url + path, context=self.context, timeout=60) as r:
                return r.read()
        except urllib.error.HTTPError as error:
            if missing_ok and error.code == 404:
                return None
            raise Refused(f"the board answered {error.code} to {path}") from error
        except (urllib.error.URLError, OSError) as error:
            raise Refused(f"cannot read the board: {error}") from error

    def json(self, path, missing_ok=False):
        body = self.read(path, missing_ok)
        return None if body is None else json.loads(body)


def signed_head(board, certificate_pem):
    head = board.json("/head")
    try:
        size, root, when = int(head["size"]), unb64url(head["root"]), str(head["time"])
        signature = base64.b64decode(head["signature"], validate=True)
        key = x509.load_pem_x509_certificate(certificate_pem).public_key()
    except (KeyError, TypeError, ValueError) as error:
        raise Refused(f"the board's head does not read: {error}") from error
    text = f"ardenax-board-v1\n{size}\n{head['root']}\n{when}".encode()
    try:
        key.verify(signature, text, padding.PKCS1v15(), hashes.SHA256())
    except InvalidSignature as error:
        raise Refused(f"the board's head ({size} entries, {when}) is not signed by the board's key") from error
    return {"size": size, "root": head["root"], "time": when, "signature": head["signature"]}


def check_growth(board, last, head):
    since = f" since the head signed at {last['time']} ({last['size']} entries)"
    if head["size"] < last["size"]:
        raise Refused(f"the board shrank to {head['size']} entries{since}")
    if last["size"] == 0:
        return
    proof = [] if head["size"] == last["size"] else board.json(
        f"/consistency?first={last['size']}&second={head['size']}")["path"]
    if not consistency_holds(last["size"], head["size"], unb64url(last["root"]),
                             unb64url(head["root"]), [unb64url(h) for h in proof]):
        raise Refused(f"the board rewrote its history{since}")


def check_receipt(board, head, receipt):
    where = f" of {head['size']}, head signed at {head['time']}"
    proof = board.json(f"/proof?receipt={receipt}&size={head['size']}", missing_ok=True)
    if proof is None:
        raise Refused(f"the receipt is not on the board ({head['size']} entries, head signed at {head['time']})")
    index, path = int(proof["index"]), [unb64url(h) for h in proof["path"]]
    if not inclusion_holds(leaf_hash(unb64url(receipt)), index, head["size"], path, unb64url(head["root"])):
        raise Refused(f"the board's proof for index {index}{where} is false")
    return f"included at index {index}{where}"


def check_entries(board, head):
    leaves = []
    while len(leaves) < head["size"]:
        start, end = len(leaves), min(head["size"], len(leaves) + PAGE)
        entries = board.json(f"/entries?start={start}&end={end}")["entries"]
        if len(entries) != end - start:
            raise Refused(f"the board gives {len(entries)} entries from index {start} where its head has {head['size']}")
        for entry in entries:
            if entry["index"] != len(leaves):
                raise Refused(f"the board's entry at index {len(leaves)} says it is at {entry['index']}")
            leaves.append(leaf_hash(unb64url(entry["receipt"])))
    if b64url(root_of(leaves)) != head["root"]:
        raise Refused(f"the board's {head['size']} entries do not give the root of its head signed at {head['time']}")
    return f"all {head['size']} entries give the root of the head signed at {head['time']}"


def with_receipt_joined(argv):
    """A receipt may begin with "-" (base64url), which argparse would take for
    an option: the word after --receipt is its value, whatever it looks like."""
    joined = []
    words = iter(argv)
    for word in words:
        value = next(words, None) if word == "--receipt" else None
        joined.append(word if value is None else f"--receipt={value}")
    return joined


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--board", required=True, help="https://<voting host>/smv/board")
    parser.add_argument("--receipt", help="check this receipt's inclusion instead of every entry")
    parser.add_argument("--board-certificate", help="the board key's certificate (PEM)")
    parser.add_argument("--ca-file", help="a CA to trust for HTTPS besides the system's")
    parser.add_argument("--state", help="where the last head seen is kept")
    args = parser.parse_args(with_receipt_joined(sys.argv[1:]))
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    name = b64url(hashlib.sha256(args.board.rstrip("/").encode()).digest()) + ".json"
    state = args.state or os.path.join(data, "ardenax", "verify_board", name)
    board = Board(args.board, args.ca_file)
    try:
        kept = None
        if os.path.exists(state):
            with open(state, encoding="utf-8") as file:
                kept = json.load(file)
        if args.board_certificate:
            with open(args.board_certificate, "rb") as file:
                certificate = file.read()
        else:
            certificate = kept["certificate"].encode() if kept else board.read("/certificate")
        head = signed_head(board, certificate)
        if kept:
            check_growth(board, kept["head"], head)
        verdict = check_receipt(board, head, args.receipt) if args.receipt else check_entries(board, head)
        os.makedirs(os.path.dirname(state), exist_ok=True)
        with open(state + ".new", "w", encoding="utf-8") as file:
            json.dump({"board": args.board, "certificate": certificate.decode(), "head": head}, file)
        os.replace(state + ".new", state)
    except (Refused, KeyError, TypeError, ValueError) as error:
        print(f"verify_board: {error}", file=sys.stderr)
        return 1
    print(verdict)
    return 0


if __name__ == "__main__":
    sys.exit(main())
