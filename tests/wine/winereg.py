"""Reads and extends the registry files of a Wine prefix (system.reg for
HKEY_LOCAL_MACHINE, user.reg for HKEY_CURRENT_USER) while no wineserver runs."""
import re
import time

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4
REG_MULTI_SZ = 7


def _unescape(text):
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
            continue
        out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a", "b": "\b",
                    "e": "\x1b", "f": "\f", "v": "\v"}.get(n, n))
        i += 2
    return "".join(out)


def _escape(text):
    out = []
    for c in text:
        if c in '\\"':
            out.append("\\" + c)
        elif ord(c) < 0x20 or ord(c) > 0x7E:
            out.append("\\x%04x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def _read_quoted(line, start):
    """The quoted string starting at line[start] == '"'; returns (text, end)."""
    i = start + 1
    while line[i] != '"':
        i += 2 if line[i] == "\\" else 1
    return _unescape(line[start + 1:i]), i + 1


def _parse_data(data):
    if data.startswith('"'):
        return REG_SZ, _read_quoted(data, 0)[0]
    if data.startswith("str(2):"):
        return REG_EXPAND_SZ, _read_quoted(data, 7)[0]
    if data.startswith("dword:"):
        return REG_DWORD, int(data[6:], 16)
    m = re.match(r"hex(?:\(([0-9a-fA-F]+)\))?:(.*)", data)
    if m:
        kind = int(m.group(1), 16) if m.group(1) else REG_BINARY
        raw = bytes(int(b, 16) for b in m.group(2).replace("\\", "").split(",") if b.strip())
        if kind in (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ):
            return kind, ("hex", raw)
        return kind, raw
    return None, data


def read(path):
    """{key (lower case): {value name (lower case, '' for default): (type, data)}}.
    Strings come back as str; a string value stored without its terminating
    NUL comes back as ("hex", bytes)."""
    keys = {}
    current = None
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        lines = f.read().split("\n")
    pending = ""
    for raw_line in lines:
        line = pending + raw_line
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("["):
            name, _ = _read_key(line)
            current = keys.setdefault(name.lower(), {})
        elif current is not None and (line.startswith('"') or line.startswith("@")):
            if line.startswith("@"):
                name, rest = "", line[2:]
            else:
                name, end = _read_quoted(line, 0)
                rest = line[end + 1:]
            current[name.lower()] = _parse_data(rest)
    return keys


def _read_key(line):
    end = line.rindex("]")
    return _unescape(line[1:end]), line[end + 1:]


def value(keys, key, name):
    """The (type, data) of one value, or None."""
    return keys.get(key.lower(), {}).get(name.lower())


def append(path, key, values=None):
    """Adds a key with values to a registry file; values maps a name ('' for
    the default) to str (REG_SZ), int (REG_DWORD) or (type, bytes)."""
    stamp = int(time.time())
    lines = ["", "[%s] %d" % (_escape(key), stamp)]
    for name, data in (values or {}).items():
        left = "@" if name == "" else '"%s"' % _escape(name)
        if isinstance(data, str):
            right = '"%s"' % _escape(data)
        elif isinstance(data, int):
            right = "dword:%08x" % data
        else:
            kind, raw = data
            right = ("hex:" if kind == REG_BINARY else "hex(%x):" % kind) + ",".join(
                "%02x" % b for b in raw)
        lines.append("%s=%s" % (left, right))
    with open(path, "a", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
