#!/usr/bin/python3
"""Writes a client-data tree with one client and one very large session file waiting for the
patch, for the memory check:

    bench/make_big_session.py ROOT MEGABYTES

The session file has CR LF line ends, Windows-1252 text and the shape of a long recorded
session: the usual head and [Optionen], then result and log sections of item lines until it
holds MEGABYTES MiB. The same arguments give the same bytes.
"""
import os
import sys


def session_file(size):
    head = ("[TreeData]\r\nObjektTyp=2\r\nBezeichnung=Kurzform 1 Langzeitaufnahme (M\xe4rz)\r\n"
            "Datum=01.03.2024\r\n[Optionen]\r\nVerfahren=Standard\r\n"
            "Identifikation=UVJYX0RfU1RBTkRBUkRfX0tGMQ==\r\nNormdaten=0\r\nAuswertung=1\r\n")
    parts = [head.encode("cp1252")]
    used = len(parts[0])
    item = 0
    while used < size:
        if item % 5000 == 0:
            section = "[Ergebnisse %d]\r\n" % (item // 5000 + 1) if item % 10000 == 0 else \
                      "[Protokoll %d]\r\n" % (item // 10000 + 1)
            parts.append(section.encode("cp1252"))
            used += len(parts[-1])
        line = ("Item%07d=Antwort %s; Zeit %d,%03d s; Laut \xe4\xf6\xfc; Pr\xfcfer Sch\xe4fer\r\n"
                % (item, "richtig" if item % 7 else "falsch", item % 9, item % 1000)).encode("cp1252")
        parts.append(line)
        used += len(line)
        item += 1
    return b"".join(parts)


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: make_big_session.py ROOT MEGABYTES\n")
        return 2
    root, megabytes = sys.argv[1], float(sys.argv[2])
    client = os.path.join(root, "Gro\xdf, Datei 0")
    os.makedirs(os.path.join(client, "Sitzung 1"), exist_ok=True)
    with open(os.path.join(client, "user.dat"), "wb") as file:
        file.write("[UserData]\r\nObjektTyp=1\r\nVorname=Gro\xdf\r\nName=Datei\r\n".encode("cp1252"))
    with open(os.path.join(client, "Sitzung 1", "sitzung.dat"), "wb") as file:
        file.write(session_file(int(megabytes * 1024 * 1024)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
