#!/usr/bin/python3
"""Checks bench/edits.py on small trees: a check of patched trees that let a wrong change
through would vouch for it. bench/run.sh output runs it before it uses edits.py."""
import os
import subprocess
import sys
import tempfile
import unittest

EDITS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "edits.py")
SESSION = b"[Optionen]\r\n\r\n; Kommentar\r\nNormdaten=0\r\nNormdaten=0\r\nAuswertung=1\r\n"


def write(root, files):
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as file:
            file.write(data)


def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


class EditsTest(unittest.TestCase):
    # name, original files, patched files, expected line, expected exit status
    CASES = [
        ("unchanged", {"a/s.dat": SESSION}, {"a/s.dat": SESSION}, "changed 0 flag-only 0 other 0 added 0 removed 0", 0),
        ("first flag set", {"a/s.dat": SESSION},
         {"a/s.dat": SESSION.replace(b"Normdaten=0", b"Normdaten=1", 1)}, "changed 1 flag-only 1 other 0", 0),
        ("blanks and letter case kept", {"s.dat": b"[O]\r\n NormDaten = 0 \r\n"}, {"s.dat": b"[O]\r\n NormDaten = 1\r\n"},
         "changed 1 flag-only 1", 0),
        ("last line gains CR LF", {"s.dat": b"[O]\r\nNormdaten=0"}, {"s.dat": b"[O]\r\nNormdaten=1\r\n"},
         "changed 1 flag-only 1", 0),
        ("UTF-16 file", {"s.dat": utf16("[O]\r\nNormdaten=0\r\n")}, {"s.dat": utf16("[O]\r\nNormdaten=1\r\n")},
         "changed 1 flag-only 1", 0),
        ("blank line dropped", {"s.dat": SESSION},
         {"s.dat": SESSION.replace(b"\r\n\r\n", b"\r\n").replace(b"Normdaten=0", b"Normdaten=1", 1)},
         "changed 1 flag-only 0 other 1", 1),
        ("comment dropped", {"s.dat": SESSION},
         {"s.dat": SESSION.replace(b"; Kommentar\r\n", b"").replace(b"Normdaten=0", b"Normdaten=1", 1)},
         "changed 1 flag-only 0 other 1", 1),
        ("flag set to 2", {"s.dat": SESSION}, {"s.dat": SESSION.replace(b"Normdaten=0", b"Normdaten=2", 1)},
         "changed 1 flag-only 0 other 1", 1),
        ("key's letter case changed", {"s.dat": SESSION}, {"s.dat": SESSION.replace(b"Normdaten=0", b"normdaten=1", 1)},
         "changed 1 flag-only 0 other 1", 1),
        ("line end changed", {"s.dat": b"[O]\nNormdaten=0\n"}, {"s.dat": b"[O]\nNormdaten=1\r\n"},
         "changed 1 flag-only 0 other 1", 1),
        ("last line dropped", {"s.dat": SESSION},
         {"s.dat": SESSION.replace(b"Auswertung=1\r\n", b"").replace(b"Normdaten=0", b"Normdaten=1", 1)},
         "changed 1 flag-only 0 other 1", 1),
        ("other line changed", {"s.dat": SESSION}, {"s.dat": SESSION.replace(b"Auswertung=1", b"Auswertung=0")},
         "changed 1 flag-only 0 other 1", 1),
        ("temporary file left", {"s.dat": SESSION}, {"s.dat": SESSION, ".s.dat.tmp": SESSION}, "added 1 removed 0", 1),
        ("file gone", {"s.dat": SESSION, "u.dat": b"x"}, {"s.dat": SESSION}, "added 0 removed 1", 1),
    ]

    def test_cases(self):
        for name, original, patched, expected, status in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                write(os.path.join(root, "original"), original)
                write(os.path.join(root, "patched"), patched)
                run = subprocess.run([sys.executable, EDITS, os.path.join(root, "original"), os.path.join(root, "patched")],
                                     capture_output=True, text=True)
                self.assertIn(expected, run.stdout)
                self.assertEqual(run.returncode, status, run.stdout + run.stderr)


if __name__ == "__main__":
    unittest.main()
