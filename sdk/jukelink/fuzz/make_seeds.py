#!/usr/bin/env python3
"""Writes the seed corpora of the backup reader's fuzz targets into
corpus/<target>/: ordinary lists of each kind, and the hostile shapes the
guard exists for (nesting at and past the limit, shared objects that expand
exponentially, large values)."""
import os
import plistlib
import sqlite3
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def nested(levels):
    v = "leaf"
    for _ in range(levels):
        v = [v]
    return v


def shared(levels):
    v = [1]
    for _ in range(levels):
        v = [v, v]  # one object, two references: copied twice by the parser
    return v


def xml_nesting(levels):
    return (b'<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">'
            + b"<array>" * levels + b"<string>x</string>" + b"</array>" * levels + b"</plist>")


def backup_plists():
    info = {"Device Name": "Anna\u2019s iPhone", "Unique Identifier": "00008030-0011223344556677",
            "Product Type": "iPhone12,1", "Product Version": "17.2",
            "Last Backup Date": __import__("datetime").datetime(2024, 5, 1, 10, 0, 0),
            "iTunes Files": {"IC-Info.sidv": b"\x00" * 256}}
    manifest = {"IsEncrypted": False, "Version": "10.0",
                "Lockdown": {"DeviceName": "Anna", "UniqueDeviceID": "abc", "ProductType": "iPhone12,1",
                             "ProductVersion": "17.2"}}
    status = {"SnapshotState": "finished", "IsFullBackup": False, "Version": "3.3"}
    write("plists", "info.xml", plistlib.dumps(info, fmt=plistlib.FMT_XML))
    write("plists", "manifest.bin", plistlib.dumps(manifest, fmt=plistlib.FMT_BINARY))
    write("plists", "status.bin", plistlib.dumps(status, fmt=plistlib.FMT_BINARY))
    write("plists", "nest-64.xml", xml_nesting(64))
    write("plists", "nest-65.xml", xml_nesting(65))
    write("plists", "nest-64.bin", plistlib.dumps(nested(64), fmt=plistlib.FMT_BINARY))
    write("plists", "nest-300.bin", plistlib.dumps(nested(300), fmt=plistlib.FMT_BINARY))
    write("plists", "shared-40.bin", plistlib.dumps(shared(40), fmt=plistlib.FMT_BINARY))
    write("plists", "dict-nest.xml", b"<plist>" + b"<dict><key>k</key>" * 70 + b"<true/>"
          + b"</dict>" * 70 + b"</plist>")
    write("plists", "big-string.bin", plistlib.dumps({"Device Name": "x" * 65536},
                                                   fmt=plistlib.FMT_BINARY))


def keyed_archive(size):
    return plistlib.dumps({
        "$version": 100000, "$archiver": "NSKeyedArchiver",
        "$top": {"root": plistlib.UID(1)},
        "$objects": ["$null", {"Size": size, "Mode": 33188, "RelativePath": plistlib.UID(2),
                               "$class": plistlib.UID(3)},
                     "Media/DCIM/100APPLE/IMG_0001.JPG",
                     {"$classname": "MBFile", "$classes": ["MBFile", "NSObject"]}]},
        fmt=plistlib.FMT_BINARY)


def file_blobs():
    write("file_blob", "size.bin", keyed_archive(123456))
    write("file_blob", "huge-size.bin", keyed_archive(2**63 - 1))
    write("file_blob", "nest-20.bin", plistlib.dumps({"$top": {"root": plistlib.UID(1)},
                                                      "$objects": nested(20)},
                                                     fmt=plistlib.FMT_BINARY))
    # libplist aborts when asked for a key with a NUL inside; freeing once did.
    write("file_blob", "nul-key.bin", plistlib.dumps({"$objects": [{"Si\x00ze": 1}], "a\x00": [[1]]},
                                                     fmt=plistlib.FMT_BINARY))
    write("file_blob", "shared-30.bin", plistlib.dumps({"$objects": shared(30)},
                                                       fmt=plistlib.FMT_BINARY))


def mbdb_string(s):
    if s is None:
        return b"\xff\xff"
    b = s.encode()
    return struct.pack(">H", len(b)) + b


def mbdb_record(domain, path, mode, size, props=()):
    out = b"".join(mbdb_string(s) for s in (domain, path, None, None, None))
    out += struct.pack(">HQIIIIIQBB", mode, 1, 501, 501, 0, 0, 0, size, 3, len(props))
    for k, v in props:
        out += mbdb_string(k) + mbdb_string(v)
    return out


def mbdbs():
    head = b"mbdb\x05\x00"
    recs = [mbdb_record("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", 0x81A4, 4096),
            mbdb_record("CameraRollDomain", "Media/DCIM", 0x41ED, 0),
            mbdb_record("HomeDomain", "Library/SMS/sms.db", 0x81A4, 1 << 20, [("k", "v")])]
    write("mbdb", "three.mbdb", head + b"".join(recs))
    write("mbdb", "cut.mbdb", (head + b"".join(recs))[:-7])
    write("mbdb", "long-name.mbdb", head + mbdb_record("MediaDomain", "M/" + "x" * 60000, 0x81A4, 1))


def manifest_dbs():
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "Manifest.db")
        db = sqlite3.connect(path)
        db.execute("CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
                   "flags INTEGER, file BLOB)")
        db.execute("INSERT INTO Files VALUES (?,?,?,?,?)",
                   ("3d0d7e5fb2ce288813306e4d4636395e047a3d28", "HomeDomain", "Library/SMS/sms.db",
                    1, keyed_archive(2048)))
        db.execute("INSERT INTO Files VALUES (?,?,?,?,?)",
                   ("0123456789abcdef0123456789abcdef01234567", "CameraRollDomain",
                    "Media/DCIM/100APPLE/IMG_0001.JPG", 1,
                    plistlib.dumps({"$objects": shared(30)}, fmt=plistlib.FMT_BINARY)))
        db.commit()
        db.close()
        with open(path, "rb") as f:
            write("manifest_db", "two-rows.db", f.read())


def tlv(tag, value):
    if isinstance(value, int):
        value = struct.pack(">I", value)
    return tag.encode() + struct.pack(">I", len(value)) + value


def keybags():
    header = (tlv("VERS", 3) + tlv("TYPE", 1) + tlv("UUID", b"u" * 16) + tlv("HMCK", b"h" * 40)
              + tlv("WRAP", 0) + tlv("SALT", b"s" * 20) + tlv("ITER", 10000))
    classes = b"".join(tlv("UUID", bytes([c]) * 16) + tlv("CLAS", c) + tlv("WRAP", 2 if c != 6 else 1)
                       + tlv("KTYP", 0) + tlv("WPKY", bytes([c]) * 40) for c in range(1, 12))
    dp = tlv("DPWT", 1) + tlv("DPIC", 10000000) + tlv("DPSL", b"d" * 20)
    write("keybag", "ios9.bin", header + classes)
    write("keybag", "ios17.bin", header + dp + classes)
    write("keybag", "cut.bin", (header + classes)[:-7])
    write("keybag", "length-past-end.bin", b"SALT" + struct.pack(">I", 0xFFFFFFF0) + b"x")
    write("keybag", "eight-byte-iter.bin", tlv("SALT", b"s") + tlv("ITER", struct.pack(">Q", 2**40)))


def mbfile(key, by_reference):
    objects = ["$null", {"$class": plistlib.UID(3), "Size": 4096, "ProtectionClass": 3,
                         "RelativePath": plistlib.UID(2), "EncryptionKey": plistlib.UID(4)},
               "Media/DCIM/100APPLE/IMG_0001.JPG",
               {"$classname": "MBFile", "$classes": ["MBFile", "NSObject"]},
               {"$class": plistlib.UID(5), "NS.data": plistlib.UID(6) if by_reference else key},
               {"$classname": "NSMutableData", "$classes": ["NSMutableData", "NSData", "NSObject"]}]
    if by_reference:
        objects.append(key)
    return plistlib.dumps({"$version": 100000, "$archiver": "NSKeyedArchiver",
                           "$top": {"root": plistlib.UID(1)}, "$objects": objects},
                          fmt=plistlib.FMT_BINARY)


def mbfiles():
    key = struct.pack("<I", 3) + b"w" * 40
    write("mbfile", "key-inline.bin", mbfile(key, False))
    write("mbfile", "key-by-reference.bin", mbfile(key, True))
    write("mbfile", "key-self-reference.bin", plistlib.dumps(
        {"$top": {"root": plistlib.UID(1)},
         "$objects": ["$null", {"EncryptionKey": plistlib.UID(1), "Size": 1}]},
        fmt=plistlib.FMT_BINARY))


if __name__ == "__main__":
    backup_plists()
    file_blobs()
    mbdbs()
    manifest_dbs()
    keybags()
    mbfiles()
    sys.exit(0)
