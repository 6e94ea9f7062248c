#!/usr/bin/python3
"""The plain script a practice might write instead: the sessions waiting for the patch, listed
the way vemor-patch previews them.

    bench/peer.py FOLDER

One os.scandir per folder, each user.dat and session file read once as bytes and parsed with
configparser, standard library only. It prints the preview lines of vemor-patch, which run.sh
compares on the benchmark tree and the demo tree.

What it copies from the program's output, beyond INI basics: folders are walked depth first in
the order of their names compared upper-cased letter by letter, a folder's own files before its
subfolders, links to folders not followed; a client line is shown before the first session line
after it and dropped when none follows; a session line follows the last client line shown or
pending, wherever the session folder is; an exact "sitzung.dat" wins over other spellings in
the same folder; section and key names ignore letter case, values lose surrounding blanks and
one pair of matching quotes; a missing Vorname or Bezeichnung becomes the folder's name, an
empty one stays empty; Normdaten counts as 0 when it is a plain decimal number (sign, digits,
one decimal point) equal to zero; files are Windows-1252 unless they start with a UTF-16 or
UTF-8 byte-order mark.

Where configparser differs from the program (none of this occurs in the benchmark or demo
trees): a key or section given twice takes its last value here, the first in the program; a
line indented under a key continues that value here, the program reads it as a key of its own;
lines before the first section stop the parse of that file here (it is skipped), the program
ignores them; values lose all Unicode white space here (a no-break space, say), in the program
only blanks and tabs. Names are sorted by code point here, by UTF-16 unit in the program,
which differs only for characters beyond U+FFFF.
"""
import codecs
import configparser
import os
import re
import sys

SHORT_FORMS = {"UVJYX0RfU1RBTkRBUkRfX0tGMQ==", "UVJYX0RfU1RBTkRBUkRfX0tGMg==", "UVJYX0RfU1RBTkRBUkRfX0tGMw=="}
ZERO = re.compile(r"[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)")


def windows_1252(error):
    """Bytes Windows-1252 leaves undefined become the control characters of the same number."""
    bad = error.object[error.start:error.end]
    return "".join(chr(b) for b in bad), error.end


codecs.register_error("peer-1252", windows_1252)


def decode(data):
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", "replace")
    if data.startswith(b"\xfe\xff"):
        return data[2:].decode("utf-16-be", "replace")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", "replace")
    return data.decode("cp1252", "peer-1252")


class Profile:
    """One INI file, its sections found whatever their letter case."""

    def __init__(self, path):
        with open(path, "rb") as file:
            text = decode(file.read())
        self.parser = configparser.ConfigParser(strict=False, interpolation=None, delimiters=("=",),
                                                comment_prefixes=(";",), empty_lines_in_values=False)
        self.sections = {}
        try:
            # Lines end in CR LF, LF or a lone CR.
            self.parser.read_string(text.replace("\r\n", "\n").replace("\r", "\n"))
        except configparser.MissingSectionHeaderError:
            return
        except configparser.ParsingError:
            pass  # lines without "=": the rest of the file has been read all the same
        for name in self.parser.sections():
            self.sections.setdefault(name.strip().lower(), name)

    def get(self, section, key):
        name = self.sections.get(section.lower())
        if name is None:
            return None
        value = self.parser[name].get(key)
        if value is None:
            return None
        value = value.strip()
        if len(value) >= 2 and value[0] == value[-1] and value[0] in "\"'":
            value = value[1:-1]
        return value


def name_key(name):
    upper = name.upper()
    if len(upper) == len(name):
        return upper
    # Letters whose capital is two letters (ß) keep their place, as one letter each.
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


class Scan:
    def __init__(self):
        self.lines = []
        self.client = None  # the client line not shown yet
        self.sessions = 0

    def session(self, folder, name):
        self.sessions += 1
        try:
            profile = Profile(os.path.join(folder, name))
        except OSError:
            return
        if profile.get("Optionen", "Identifikation") not in SHORT_FORMS:
            return
        flag = profile.get("Optionen", "Normdaten")
        if flag is None or not ZERO.fullmatch(flag.strip()) or float(flag) != 0:
            return
        title = profile.get("TreeData", "Bezeichnung")
        if title is None:
            title = os.path.basename(folder)
        if self.client is not None:
            self.lines.append(self.client)
            self.client = None
        self.lines.append("  >> " + title + "    [Patch ausführen (" + flag + ")]")

    def client_file(self, folder):
        try:
            profile = Profile(os.path.join(folder, "user.dat"))
        except OSError:
            return
        first = profile.get("UserData", "Vorname")
        last = profile.get("UserData", "Name")
        self.client = (os.path.basename(folder) if first is None else first) + " " + (last or "")

    def folder(self, folder):
        try:
            with os.scandir(folder) as listing:
                entries = sorted(listing, key=lambda e: name_key(e.name))
        except OSError:
            return
        files = [e.name for e in entries if not e.is_dir()]
        if "user.dat" in files:
            self.client_file(folder)
        session_files = [n for n in files if n.upper() == "SITZUNG.DAT"]
        if session_files:
            self.session(folder, "sitzung.dat" if "sitzung.dat" in session_files else session_files[0])
        for entry in entries:
            if entry.is_dir(follow_symlinks=False):
                self.folder(entry.path)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: peer.py FOLDER\n")
        return 2
    scan = Scan()
    scan.folder(os.path.abspath(sys.argv[1]))
    lines = scan.lines or ["Keine Sitzung für diesen Patch gefunden (0 von %d) " % scan.sessions]
    sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("utf-8", "surrogateescape"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
