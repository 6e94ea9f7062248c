#!/usr/bin/python3
"""How a patched tree differs from the tree it was copied from:

    bench/edits.py ORIGINAL PATCHED

Prints one line, "changed C flag-only F other O added A removed R": of the files present in
both, C differ, F of them only in lines that set Normdaten to 1, O otherwise; A files are new
and R gone. Names of the first files that differ otherwise go to standard error. Exit status
0 when every change is a flag line and no file came or went.

A flag line keeps its key as it was (letter case, blanks) and its line end; only its value
becomes 1. A last line without an end may gain CR LF, as Windows writes it. Files are compared
as text: UTF-16 with its little-endian mark, else one character per byte.
"""
import os
import re
import sys

FLAG = re.compile(r"^([ \t]*normdaten[ \t]*=)(.*?)(\r\n|\n|\r)?$", re.IGNORECASE | re.DOTALL)


def lines(path):
    with open(path, "rb") as file:
        data = file.read()
    text = data[2:].decode("utf-16-le", "replace") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
    return text.splitlines(keepends=True)


def is_flag_edit(before, after):
    old, new = FLAG.match(before), FLAG.match(after)
    if not old or not new or old.group(1) != new.group(1) or new.group(2).strip(" \t") != "1":
        return False
    return old.group(3) == new.group(3) or (old.group(3) is None and new.group(3) == "\r\n")


def flag_only(original, patched):
    before, after = lines(original), lines(patched)
    if len(before) != len(after):
        return False
    return all(b == a or is_flag_edit(b, a) for b, a in zip(before, after))


def files(root):
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def main():
    if len(sys.argv) != 3:
        sys.stderr.write("usage: edits.py ORIGINAL PATCHED\n")
        return 2
    original, patched = sys.argv[1], sys.argv[2]
    before, after = files(original), files(patched)
    changed = flagged = 0
    other = []
    for name in sorted(before & after):
        a, b = os.path.join(original, name), os.path.join(patched, name)
        with open(a, "rb") as file_a, open(b, "rb") as file_b:
            if file_a.read() == file_b.read():
                continue
        changed += 1
        if flag_only(a, b):
            flagged += 1
        else:
            other.append(name)
    added, removed = sorted(after - before), sorted(before - after)
    print("changed %d flag-only %d other %d added %d removed %d" %
          (changed, flagged, len(other), len(added), len(removed)))
    for kind, names in (("other", other), ("added", added), ("removed", removed)):
        for name in names[:5]:
            sys.stderr.write("%s: %s\n" % (kind, name))
    return 0 if not (other or added or removed) else 1


if __name__ == "__main__":
    sys.exit(main())
