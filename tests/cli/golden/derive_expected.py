#!/usr/bin/env python3
"""Derives the expected results of `frostmark-cli freeze` on the sample shard, independently of the C++ code.

Written from the rules alone, as plainly as possible, so that the golden files in this folder do not merely
echo the program: world records, script numbers, the nine selection rules, the patch layout and the
cleaning rule are re-done here by hand. Only what the generated sample uses is covered (item definitions
named by four hex digits, simple DEFNAME values, DEFNAME keys inside item definitions).

    derive_expected.py WORLD SCRIPTDIR OUTPREFIX [--flags HEX] [--exclude-art IDS] [--include-art IDS]
                       [--area L,T,R,B ...]

Writes OUTPREFIX.frz (the patch bytes) and OUTPREFIX.serials (one dropped serial per line, hex, in world
order), and prints the three analysis figures.
"""
import os
import re
import struct
import sys


def parse_hex(text):
    text = text.lstrip(" \t")
    value = 0
    for c in text:
        if c in "0123456789abcdefABCDEF":
            value = (value * 16 + int(c, 16)) & 0xFFFFFFFF
        else:
            break
    return value


def parse_dec(text):
    m = re.match(r"[ \t\n\r\v\f]*([+-]?)(\d*)", text)
    if not m.group(2):
        return 0
    v = int(m.group(2)) & 0xFFFFFFFF
    if m.group(1) == "-":
        v = (-v) & 0xFFFFFFFF
    return v - (1 << 32) if v >= (1 << 31) else v


class Scripts:
    def __init__(self):
        self.defnames = {}  # upper-case name -> value text as written (simple constants only)
        self.item_type_text = {}  # lower-case definition name -> TYPE value text (last TYPE line)
        self.item_names = set()

    def get_number(self, text, depth=0):
        if text == "":
            return 0
        c = text[0]
        if c.isalpha() and c.isascii():
            value = self.defnames.get(text.upper())
            if value is None or depth > 100:
                return 0
            return self.get_number(value, depth + 1)
        if c == "0":
            v = parse_hex(text)
            return v - (1 << 32) if v >= (1 << 31) else v
        return parse_dec(text)

    def find_item(self, id_text):
        if id_text.lower() in self.item_names:
            return id_text.lower()
        n = self.get_number(id_text) & 0xFFFFFFFF
        if n == 0:
            return None
        for name in ("%04x" % n, "0%04x" % n):
            if name in self.item_names:
                return name
        return None


def load_scripts(directory):
    s = Scripts()
    for root, _, files in os.walk(directory):
        for f in sorted(files):
            if not f.endswith(".scp"):
                continue
            section = None
            item = None
            with open(os.path.join(root, f), "rb") as fh:
                for raw in fh.read().decode("latin-1").split("\n"):
                    line = raw[:-1] if raw.endswith("\r") else raw
                    if line.startswith("["):
                        header = line[1:line.index("]")] if "]" in line else line[1:]
                        word = header.split(" ")[0].upper()
                        section = word
                        item = None
                        if word == "ITEMDEF":
                            item = header[len("ITEMDEF "):].lower()
                            s.item_names.add(item)
                        continue
                    code = line.split("//")[0]
                    if section == "DEFNAME":
                        parts = code.split()
                        if len(parts) == 2 and not parts[1].startswith("{"):
                            s.defnames[parts[0].upper()] = parts[1]
                    elif section == "ITEMDEF" and "=" in code:
                        key, value = code.split("=", 1)
                        key, value = key.strip().upper(), value.strip()
                        if key == "TYPE":
                            s.item_type_text[item] = value
                        elif key == "DEFNAME":
                            # The constant evaluates to the definition's name.
                            s.defnames[value.upper()] = item
    return s


NEVER = {17, 18, 34, 39, 69}
CATEGORIES = [  # flag, types, ranges; in the order of the art-range rule
    (0x100000, {3, 4}, [(0x0675, 0x06F6), (0x0839, 0x0848), (0x084C, 0x085B), (0x0866, 0x0875), (0x1FED, 0x1FFC)]),
    (0x040000, {56}, [(0x0B95, 0x0B96), (0x0BA3, 0x0C0E), (0x0C43, 0x0C44)]),
    (0x200000, {6, 7}, [(0x09FB, 0x0A18), (0x0A1A, 0x0A1D), (0x0A22, 0x0A29), (0x0B1A, 0x0B28), (0x0E31, 0x0E33),
                        (0x1849, 0x1850), (0x1853, 0x185A)]),
    (0x020000, {1, 2}, [(0x09A8, 0x09AC), (0x09B0, 0x09B2), (0x0A2C, 0x0A53), (0x0A97, 0x0A9E), (0x0E3C, 0x0E43),
                        (0x0E75, 0x0E77), (0x0E7C, 0x0E80), (0x0990, 0x0990), (0x0E83, 0x0E83), (0x0FAE, 0x0FAE)]),
]


def category_type(t, flags):
    return t in NEVER or any(flags & f and t in types for f, types, _ in CATEGORIES)


def freezable(rec, art, opts, scripts):
    flags, exclude, include, areas = opts
    if areas and not any(l <= rec["x"] < r and t <= rec["y"] < b for l, t, r, b in areas):
        return False
    if art in exclude:
        return False
    if art in include:
        return True
    if category_type(rec["type"], flags):
        return False
    if rec["type"] > 1000:
        return False
    d = scripts.find_item(rec["id"])
    if d is not None:
        dt = scripts.get_number(scripts.item_type_text.get(d, "")) & 0xFFFFFFFF
        if category_type(dt, flags):
            return False
    for f, _, ranges in CATEGORIES:
        if flags & f and any(lo <= art <= hi for lo, hi in ranges):
            return False
    if not ((flags & 0x10 and rec["attr"] & 0x10) or (flags & 0x8000 and rec["attr"] & 0x8000)):
        return False
    if flags & 0x10000 and rec["type"] != 0:
        return False
    return True


def read_records(path, scripts):
    with open(path, "rb") as fh:
        lines = fh.read().decode("latin-1").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    lines = [l[:-1] if l.endswith("\r") else l for l in lines]
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if not line.startswith("[WORLDITEM"):
            continue
        rest = line[11:]
        rec = dict(id=rest.split("]")[0], type=0, serial=0, cont=0, attr=0, x=0, y=0, z=0, color=0)
        while i < len(lines) and not lines[i].startswith("["):
            body = lines[i]
            i += 1
            if "=" not in body:
                continue
            key, value = body.split("=", 1)
            key = key.upper()
            if key == "TYPE":
                rec["type"] = scripts.get_number(value) & 0xFFFF
            elif key == "SERIAL":
                rec["serial"] = parse_hex(value)
            elif key == "CONT":
                rec["cont"] = parse_hex(value)
            elif key == "ATTR":
                rec["attr"] = parse_hex(value) & 0xFFFF
            elif key == "COLOR":
                rec["color"] = parse_hex(value) & 0xFFFF
            elif key in ("ID", "DISPID"):
                rec["id"] = value
            elif key == "P":
                xt = value.split(",")[0]
                rec["x"] = parse_dec(xt) & 0xFFFF
                pos = len(xt) + 3
                rest_p = body[pos:] if pos <= len(body) else ""
                yt = rest_p.split(",")[0]
                rec["y"] = parse_dec(yt) & 0xFFFF
                rec["z"] = (parse_dec(rest_p[len(yt) + 1:]) & 0xFF) if len(yt) < len(rest_p) else 0
        yield rec


def main(argv):
    world, scriptdir, prefix = argv[1:4]
    flags, exclude, include, areas = 0, set(), set(), []
    args = argv[4:]
    while args:
        opt, val = args[0], args[1]
        args = args[2:]
        if opt == "--flags":
            flags = int(val, 16)
        elif opt == "--exclude-art":
            exclude |= {int(v, 16) for v in val.split(",")}
        elif opt == "--include-art":
            include |= {int(v, 16) for v in val.split(",")}
        elif opt == "--area":
            areas.append(tuple(int(v) for v in val.split(",")))
    scripts = load_scripts(scriptdir)
    top = 0
    frozen = []
    for rec in read_records(world, scripts):
        if rec["cont"] != 0:
            continue
        top += 1
        art = scripts.get_number(rec["id"]) & 0xFFFFFFFF
        if art == 0 or art > 0x3FFF:
            continue
        if freezable(rec, art, (flags, exclude, include, areas), scripts):
            rec["art"] = art
            frozen.append(rec)
    # Patch order: one binary insertion per record, in freeze list order, exactly as the writer's search
    # places records with equal (block, cell) keys.
    key = lambda r: ((r["x"] // 8) * 512 + r["y"] // 8, r["x"] % 8 + (r["y"] % 8) * 8)
    order = []
    for r in frozen:
        if not order:
            order.insert(0, r)
            continue
        lo, hi, after, mid = 0, len(order) - 1, False, 0
        while lo <= hi:
            mid = (lo + hi) // 2
            if key(order[mid]) > key(r):
                after, hi = False, mid - 1
            elif key(order[mid]) < key(r):
                after, lo = True, mid + 1
            else:
                break
        order.insert(mid + 1 if after else mid, r)
    ties = sum(1 for a, b in zip(order, order[1:]) if key(a) == key(b))
    groups = []
    for r in order:
        block = key(r)[0]
        if not groups or groups[-1][0] != block:
            groups.append((block, []))
        groups[-1][1].append(r)
    out = struct.pack("<IH", len(groups), 0xF00D)
    for block, recs in groups:
        out += struct.pack("<BII", 2, block, 7 * len(recs))
        for r in recs:
            out += struct.pack("<HBBBH", r["art"] & 0xFFFF, r["x"] % 8, r["y"] % 8, r["z"], r["color"])
    with open(prefix + ".frz", "wb") as fh:
        fh.write(out)
    with open(prefix + ".serials", "w") as fh:
        for r in frozen:
            fh.write("%x\n" % r["serial"])
    print("top-level %d, to freeze %d, estimate %d bytes, patch %d bytes, %d groups, %d equal-key neighbours"
          % (top, len(frozen), 9 * len(frozen), len(out), len(groups), ties))


if __name__ == "__main__":
    main(sys.argv)
