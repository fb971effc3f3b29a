#!/usr/bin/env python3
"""Read the resources of a PE32/PE32+ image and decode the common kinds.

    python3 tests/wine/peres.py FILE.exe     # prints a summary
"""

import struct
import sys
from collections import namedtuple

RT_NAMES = {
    1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING",
    7: "FONTDIR", 8: "FONT", 9: "ACCELERATOR", 10: "RCDATA", 11: "MESSAGETABLE",
    12: "GROUP_CURSOR", 14: "GROUP_ICON", 16: "VERSION", 17: "DLGINCLUDE",
    19: "PLUGPLAY", 20: "VXD", 21: "ANICURSOR", 22: "ANIICON", 23: "HTML",
    24: "MANIFEST",
}
RT_DIALOG, RT_STRING, RT_GROUP_ICON, RT_VERSION = 5, 6, 14, 16
DS_SETFONT = 0x40
CONTROL_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static",
                 0x83: "ListBox", 0x84: "ScrollBar", 0x85: "ComboBox"}

Section = namedtuple("Section", "name vaddr vsize raw_ptr raw_size characteristics")
GroupIconEntry = namedtuple("GroupIconEntry", "width height colors planes bitcount bytes id")


class PEError(ValueError):
    pass


class _Reader:
    """Little-endian cursor that turns short reads into PEError."""

    def __init__(self, data, pos=0):
        self.data = data
        self.pos = pos

    def take(self, fmt):
        try:
            vals = struct.unpack_from("<" + fmt, self.data, self.pos)
        except struct.error:
            raise PEError(f"truncated at offset {self.pos:#x}") from None
        self.pos += struct.calcsize("<" + fmt)
        return vals if len(vals) > 1 else vals[0]

    def bytes(self, n):
        if self.pos + n > len(self.data):
            raise PEError(f"truncated at offset {self.pos:#x}")
        out = bytes(self.data[self.pos:self.pos + n])
        self.pos += n
        return out

    def align(self, n=4):
        self.pos = (self.pos + n - 1) & ~(n - 1)

    def wstr(self):
        """NUL-terminated UTF-16LE string."""
        end = self.pos
        while True:
            if end + 2 > len(self.data):
                raise PEError(f"unterminated string at {self.pos:#x}")
            if self.data[end] == 0 and self.data[end + 1] == 0:
                break
            end += 2
        s = bytes(self.data[self.pos:end]).decode("utf-16-le", "surrogatepass")
        self.pos = end + 2
        return s

    def sz_or_ord(self):
        """0x0000 -> None, 0xFFFF n -> int n, otherwise a string."""
        first = self.take("H")
        if first == 0:
            return None
        if first == 0xFFFF:
            return self.take("H")
        self.pos -= 2
        return self.wstr()


class PEImage:
    def __init__(self, data):
        self.data = data
        r = _Reader(data)
        if r.take("2s") != b"MZ":
            raise PEError("no MZ header")
        r.pos = 0x3C
        r.pos = r.take("I")
        if r.take("4s") != b"PE\0\0":
            raise PEError("no PE signature")
        (self.machine, nsect, self.timestamp, symtab, nsyms, opt_size,
         self.characteristics) = r.take("HHIIIHH")
        opt = r.pos
        self.magic = r.take("H")
        if self.magic == 0x10B:
            self.pe32plus, dd_count_at = False, opt + 92
        elif self.magic == 0x20B:
            self.pe32plus, dd_count_at = True, opt + 108
        else:
            raise PEError(f"unknown optional header magic {self.magic:#x}")
        r.pos = dd_count_at
        count = r.take("I")
        self.data_dirs = [r.take("II") for _ in range(min(count, 16))]
        r.pos = opt + opt_size
        self.sections = []
        for _ in range(nsect):
            name, vsize, vaddr, raw_size, raw_ptr = r.take("8sIIII")
            r.pos += 12
            chars = r.take("I")
            name = name.rstrip(b"\0").decode("latin-1")
            if name.startswith("/") and name[1:].isdigit() and symtab:
                # Long names live in the COFF string table after the symbols.
                at = symtab + 18 * nsyms + int(name[1:])
                end = data.find(b"\0", at)
                if at < len(data) and end > at:
                    name = data[at:end].decode("latin-1")
            self.sections.append(Section(name, vaddr, vsize, raw_ptr, raw_size, chars))

    def read_rva(self, rva, size):
        for s in self.sections:
            span = max(s.vsize, s.raw_size)
            if s.vaddr <= rva and rva + size <= s.vaddr + span:
                off = rva - s.vaddr
                # Past the raw data the loader supplies zeros.
                raw = self.data[s.raw_ptr + off:s.raw_ptr + min(off + size, s.raw_size)]
                return bytes(raw) + b"\0" * (size - len(raw))
        raise PEError(f"RVA {rva:#x}+{size:#x} is in no section")

    def resources(self):
        """{(type, name, lang): (bytes, codepage)}"""
        if len(self.data_dirs) <= 2 or not self.data_dirs[2][0]:
            return {}
        rva, size = self.data_dirs[2]
        rsrc = self.read_rva(rva, size)
        out = {}

        def walk(off, path, seen):
            if off in seen or len(path) > 2:
                raise PEError("malformed resource directory")
            seen = seen | {off}
            r = _Reader(rsrc, off + 12)
            named, ids = r.take("HH")
            for _ in range(named + ids):
                name, target = r.take("II")
                if name & 0x80000000:
                    n = _Reader(rsrc, name & 0x7FFFFFFF)
                    key = n.bytes(2 * n.take("H")).decode("utf-16-le", "surrogatepass")
                else:
                    key = name
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + (key,), seen)
                elif len(path) == 2:
                    d = _Reader(rsrc, target)
                    data_rva, data_size, codepage = d.take("III")
                    out[path + (key,)] = (self.read_rva(data_rva, data_size), codepage)
                else:
                    raise PEError("resource data above the language level")

        walk(0, (), frozenset())
        return out


def read_pe(path):
    with open(path, "rb") as f:
        return PEImage(f.read())


def read_resources(path):
    """{(type, name, lang): bytes}; type and name are int ids or str names."""
    return {k: v[0] for k, v in read_pe(path).resources().items()}


def parse_dialog(data):
    r = _Reader(data)
    ver, sig = r.take("HH")
    ex = ver == 1 and sig == 0xFFFF
    d = {"ex": ex}
    if ex:
        d["helpid"], d["exstyle"], d["style"] = r.take("III")
    else:
        r.pos = 0
        d["style"], d["exstyle"] = r.take("II")
        d["helpid"] = 0
    count = r.take("H")
    d["x"], d["y"], d["cx"], d["cy"] = r.take("hhhh")
    d["menu"] = r.sz_or_ord()
    d["class"] = r.sz_or_ord()
    d["caption"] = r.wstr()
    if d["style"] & DS_SETFONT:
        d["pointsize"] = r.take("H")
        if ex:
            d["weight"], d["italic"], d["charset"] = r.take("HBB")
        else:
            d["weight"] = d["italic"] = d["charset"] = None
        d["typeface"] = r.wstr()
    items = []
    for _ in range(count):
        # Every item starts on a DWORD boundary of the template.
        r.align(4)
        it = {}
        if ex:
            it["helpid"], it["exstyle"], it["style"] = r.take("III")
            it["x"], it["y"], it["cx"], it["cy"] = r.take("hhhh")
            it["id"] = r.take("I")
        else:
            it["style"], it["exstyle"] = r.take("II")
            it["helpid"] = 0
            it["x"], it["y"], it["cx"], it["cy"] = r.take("hhhh")
            it["id"] = r.take("H")
        it["id16"] = struct.unpack("<h", struct.pack("<H", it["id"] & 0xFFFF))[0]
        cls = r.sz_or_ord()
        it["class"] = CONTROL_ATOMS.get(cls, cls) if isinstance(cls, int) else (cls or "")
        title = r.sz_or_ord()
        it["title"] = "" if title is None else title
        # The count word gives the bytes that follow it, in both formats.
        it["extra"] = r.bytes(r.take("H"))
        items.append(it)
    d["items"] = items
    return d


def _version_block(data, pos):
    """(key, value bytes, type, [children], end) of one version block at pos."""
    r = _Reader(data, pos)
    length, vlen, vtype = r.take("HHH")
    if length < 6:
        raise PEError(f"bad version block length at {pos:#x}")
    end = min(pos + length, len(data))
    key = r.wstr()
    r.align(4)
    if vtype == 1 and vlen:
        # Producers disagree whether text lengths count chars or bytes; the
        # string runs to its NUL either way.
        value = bytes(data[r.pos:min(end, r.pos + 2 * vlen)])
        r.pos += 2 * vlen
    else:
        value = bytes(data[r.pos:r.pos + vlen])
        r.pos += vlen
    r.align(4)
    children = []
    while r.pos + 6 <= end:
        child = _version_block(data, r.pos)
        children.append(child)
        r.pos = (child[4] + 3) & ~3
    return key, value, vtype, children, end


def _text(value):
    s = value.decode("utf-16-le", "surrogatepass")
    return s.split("\0", 1)[0]


def parse_version(data):
    key, value, _, children, _ = _version_block(data, 0)
    if key != "VS_VERSION_INFO":
        raise PEError(f"not a version resource: {key!r}")
    out = {"fixed": None, "strings": {}, "translations": []}
    if len(value) >= 52:
        f = struct.unpack_from("<13I", value)
        if f[0] != 0xFEEF04BD:
            raise PEError(f"bad fixed-info signature {f[0]:#x}")
        out["fixed"] = {
            "signature": f[0], "strucversion": f[1],
            "file_version": (f[2] >> 16, f[2] & 0xFFFF, f[3] >> 16, f[3] & 0xFFFF),
            "product_version": (f[4] >> 16, f[4] & 0xFFFF, f[5] >> 16, f[5] & 0xFFFF),
            "flags_mask": f[6], "flags": f[7], "os": f[8], "type": f[9],
            "subtype": f[10], "date": (f[11] << 32) | f[12],
        }
    for ckey, _, _, grand, _ in children:
        if ckey == "StringFileInfo":
            for tkey, _, _, strings, _ in grand:
                out["strings"][tkey] = {k: _text(v) for k, v, _, _, _ in strings}
        elif ckey == "VarFileInfo":
            for vkey, v, _, _, _ in grand:
                if vkey == "Translation":
                    out["translations"] += [struct.unpack_from("<HH", v, i)
                                            for i in range(0, len(v) - 3, 4)]
    return out


def parse_string_table(data, bundle_id):
    r = _Reader(data)
    out = {}
    for i in range(16):
        if r.pos >= len(data):
            break
        n = r.take("H")
        if n:
            out[(bundle_id - 1) * 16 + i] = r.bytes(2 * n).decode("utf-16-le", "surrogatepass")
    return out


def parse_group_icon(data):
    """Entries as stored: a width or height of 0 means 256."""
    r = _Reader(data)
    reserved, kind, count = r.take("HHH")
    if reserved != 0 or kind != 1:
        raise PEError(f"not an icon group (type {kind})")
    return [GroupIconEntry(*r.take("BBBxHHIH")) for _ in range(count)]


def _label(v):
    return repr(v) if isinstance(v, str) else str(v)


def summary(path):
    pe = read_pe(path)
    lines = [f"{path}: {'PE32+' if pe.pe32plus else 'PE32'} machine={pe.machine:#06x}"]
    for s in pe.sections:
        lines.append(f"  section {s.name:<8} va={s.vaddr:#010x} vsize={s.vsize:#x} "
                     f"raw={s.raw_ptr:#x}+{s.raw_size:#x}")
    for (t, n, lang), (data, cp) in sorted(pe.resources().items(), key=lambda kv: str(kv[0])):
        tname = RT_NAMES.get(t, _label(t)) if isinstance(t, int) else _label(t)
        line = f"  {tname:<12} {_label(n):<20} lang={lang:#06x} cp={cp} size={len(data)}"
        try:
            if t == RT_DIALOG:
                d = parse_dialog(data)
                line += f"  {'DIALOGEX' if d['ex'] else 'DIALOG'} {d['caption']!r} items={len(d['items'])}"
            elif t == RT_VERSION:
                v = parse_version(data)
                if v["fixed"]:
                    line += "  file " + ".".join(map(str, v["fixed"]["file_version"]))
                for block, strings in v["strings"].items():
                    for k, val in strings.items():
                        line += f"\n      [{block}] {k} = {val!r}"
            elif t == RT_STRING and isinstance(n, int):
                for sid, s in parse_string_table(data, n).items():
                    line += f"\n      {sid}: {s!r}"
            elif t == RT_GROUP_ICON:
                ents = parse_group_icon(data)
                line += "  " + ", ".join(f"{e.width or 256}x{e.height or 256}/{e.bitcount}bpp#{e.id}"
                                         for e in ents)
        except PEError as e:
            line += f"  (undecodable: {e})"
        lines.append(line)
    return "\n".join(lines)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    if len(argv) != 1:
        print("usage: peres.py FILE.exe", file=sys.stderr)
        return 2
    try:
        print(summary(argv[0]))
    except (OSError, PEError) as e:
        print(f"peres: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
