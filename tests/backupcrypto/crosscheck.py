#!/usr/bin/env python3
"""Decrypts backups written by the lab's fixture writer with Python's hashlib
and the cryptography package, following the published format rules, and
compares every file with what kestrova-backup decrypt wrote. The writer and
the reader are ours; this is a third, independent reading of the same bytes.

usage: crosscheck.py FIXTURE_BIN BACKUP_TOOL_BIN WORK_DIR
"""
import hashlib
import os
import plistlib
import shutil
import sqlite3
import struct
import subprocess
import sys

from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes
from cryptography.hazmat.primitives.keywrap import InvalidUnwrap, aes_key_unwrap

PASSWORD = "Tr0ub4dor&3 ünïcode"


def tlv(data):
    pos = 0
    while pos + 8 <= len(data):
        tag = data[pos:pos + 4].decode("ascii")
        (length,) = struct.unpack(">I", data[pos + 4:pos + 8])
        yield tag, data[pos + 8:pos + 8 + length]
        pos += 8 + length


def class_keys(keybag, password):
    header, classes, current = {}, {}, None
    for tag, value in tlv(keybag):
        number = int.from_bytes(value, "big") if len(value) in (4, 8) else None
        if tag == "UUID" and "UUID" not in header:
            header["UUID"] = value
        elif tag == "UUID":
            current = {}
            classes[len(classes)] = current
        elif current is not None:
            current[tag] = number if tag in ("CLAS", "WRAP", "KTYP") else value
        else:
            header[tag] = number if tag in ("ITER", "DPIC", "WRAP", "VERS", "TYPE", "DPWT") else value
    secret = password.encode("utf-8")
    if "DPSL" in header:
        secret = hashlib.pbkdf2_hmac("sha256", secret, header["DPSL"], header["DPIC"], 32)
    kek = hashlib.pbkdf2_hmac("sha1", secret, header["SALT"], header["ITER"], 32)
    keys = {}
    for c in classes.values():
        if c.get("WRAP", 0) & 2:
            keys[c["CLAS"]] = aes_key_unwrap(kek, c["WPKY"])
    return keys


def unwrap_file_key(keys, class_and_key):
    (cls,) = struct.unpack("<I", class_and_key[:4])
    return aes_key_unwrap(keys[cls], class_and_key[4:])


def aes_cbc(key, data):
    d = Cipher(algorithms.AES(key), modes.CBC(b"\0" * 16)).decryptor()
    return d.update(data) + d.finalize()


def unpad(data):
    pad = data[-1] if data else 0
    if 1 <= pad <= 16 and data[-pad:] == bytes([pad]) * pad:
        return data[:-pad]
    return data


def mbfile(blob):
    archive = plistlib.loads(blob)
    objects = archive["$objects"]
    root = objects[archive["$top"]["root"].data]

    def deref(v):
        return objects[v.data] if isinstance(v, plistlib.UID) else v

    key = deref(root["EncryptionKey"])
    key = deref(key["NS.data"]) if isinstance(key, dict) else key
    return root["Size"], key


def mbdb_records(data):
    assert data[:6] == b"mbdb\x05\x00"
    pos = 6

    def string():
        nonlocal pos
        (n,) = struct.unpack(">H", data[pos:pos + 2])
        pos += 2
        if n == 0xFFFF:
            return b""
        s = data[pos:pos + n]
        pos += n
        return s

    while pos < len(data):
        domain, path, _, _, key = (string() for _ in range(5))
        mode, = struct.unpack(">H", data[pos:pos + 2])
        pos += 2 + 8 + 4 + 4 + 12
        size, cls, nprops = struct.unpack(">QBB", data[pos:pos + 10])
        pos += 10
        for _ in range(2 * nprops):
            string()
        if mode & 0xF000 == 0x8000:
            yield domain.decode(), path.decode(), size, cls, key


def decrypt_backup(folder, password):
    """{domain/path: bytes} for every file of the backup."""
    with open(os.path.join(folder, "Manifest.plist"), "rb") as f:
        manifest = plistlib.load(f)
    keys = class_keys(manifest["BackupKeyBag"], password)
    files = {}
    if os.path.exists(os.path.join(folder, "Manifest.mbdb")):
        with open(os.path.join(folder, "Manifest.mbdb"), "rb") as f:
            for domain, path, size, cls, key in mbdb_records(f.read()):
                fid = hashlib.sha1(f"{domain}-{path}".encode()).hexdigest()
                file_key = aes_key_unwrap(keys[cls], key[4:])
                with open(os.path.join(folder, fid), "rb") as f2:
                    files[f"{domain}/{path}"] = aes_cbc(file_key, f2.read())[:size]
        return files
    db_path = os.path.join(folder, "Manifest.db")
    if "ManifestKey" in manifest:
        with open(db_path, "rb") as f:
            plain = unpad(aes_cbc(unwrap_file_key(keys, manifest["ManifestKey"]), f.read()))
        db_path = os.path.join(os.path.dirname(folder), "manifest-plain.db")
        with open(db_path, "wb") as f:
            f.write(plain)
    db = sqlite3.connect(db_path)
    for fid, domain, path, blob in db.execute(
            "SELECT fileID, domain, relativePath, file FROM Files WHERE flags = 1"):
        size, key = mbfile(blob)
        with open(os.path.join(folder, fid[:2], fid), "rb") as f:
            files[f"{domain}/{path}"] = aes_cbc(unwrap_file_key(keys, key), f.read())[:size]
    db.close()
    return files


def tree(root):
    out = {}
    for d, _, names in os.walk(root):
        for n in names:
            p = os.path.join(d, n)
            with open(p, "rb") as f:
                out[os.path.relpath(p, root)] = f.read()
    return out


def main():
    fixture, tool, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    pw_file = os.path.join(work, "password")
    with open(pw_file, "w", encoding="utf-8") as f:
        f.write(PASSWORD + "\n")
    failures = 0
    cases = [("db", "14", "Manifest.db encrypted with ManifestKey"),
             ("db", "10", "Manifest.db of iOS 10.0/10.1, not encrypted"),
             ("mbdb", "9", "Manifest.mbdb, wrapped key in each record")]
    for fmt, ios, what in cases:
        parent = os.path.join(work, f"{fmt}-{ios}")
        out = subprocess.run([fixture, "--format", fmt, "--ios", ios, "--seed", "21", "--count",
                              "6", "--media", "3", "--encrypted", "--password", PASSWORD,
                              "--iterations", "100", "--out", parent],
                             check=True, capture_output=True, text=True).stdout.strip()
        expected = decrypt_backup(out, PASSWORD)
        sqlite_dbs = [k for k in expected if k.endswith((".db", ".sqlitedb", ".storedata"))]
        headers_ok = all(expected[k].startswith(b"SQLite format 3\0") for k in sqlite_dbs)
        tool_out = os.path.join(work, f"out-{fmt}-{ios}")
        r = subprocess.run([tool, "decrypt", "--password-file", pw_file, out, tool_out],
                           capture_output=True, text=True)
        got = tree(tool_out) if r.returncode == 0 else {}
        same = got == expected and len(expected) > 10
        wrong = os.path.join(work, "wrong")
        with open(wrong, "w") as f:
            f.write("not the password\n")
        r2 = subprocess.run([tool, "decrypt", "--password-file", wrong, out,
                             os.path.join(work, f"wrong-{fmt}-{ios}")],
                            capture_output=True, text=True)
        ok = same and headers_ok and sqlite_dbs and r2.returncode == 3 and \
            "wrong backup password" in r2.stderr
        failures += 0 if ok else 1
        print(f"{'ok' if ok else 'FAILED'}: {what}: {len(expected)} files, "
              f"{len(sqlite_dbs)} databases decrypt to SQLite: {headers_ok}, "
              f"kestrova-backup exit {r.returncode}, same bytes: {same}, "
              f"wrong password exit {r2.returncode}")
        if not same:
            print(r.stdout, r.stderr)
            for k in sorted(set(expected) | set(got)):
                if expected.get(k) != got.get(k):
                    print("  differs:", k)
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
