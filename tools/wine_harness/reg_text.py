"""The text of .reg files, as Wine's regedit imports and exports them:
written from {key path: {value name: text}}, read back into
{key path: {value name: (type, data)}}. Text that is not what regedit
writes is an error that names its line."""

ESCAPES = {"n": "\n", "r": "\r", "0": "\0"}


class RegTextError(ValueError):
    """A line of .reg text that cannot be read, by its number (from 1)."""

    def __init__(self, number, line, problem):
        super().__init__(f".reg text, line {number}: {problem}: {line!r}")
        self.number = number


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def import_text(keys):
    """The bytes of a .reg file that makes keys: {key path: {value name:
    text}} (an empty dict makes just the key; the name "" is the default
    value). UTF-16 with its byte-order mark and CR LF, as regedit writes."""
    lines = ["Windows Registry Editor Version 5.00", ""]
    for path, values in keys.items():
        lines.append(f"[{path}]")
        for name, text in values.items():
            lines.append(("@" if name == "" else reg_string(name)) + "=" + reg_string(text))
        lines.append("")
    return b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le")


def read_string(line, i, number):
    """Reads the quoted string that starts at line[i]; returns (text, the
    index after its closing quote)."""
    if i >= len(line) or line[i] != '"':
        raise RegTextError(number, line, "a quoted string was expected")
    out, i = [], i + 1
    while i < len(line) and line[i] != '"':
        if line[i] == "\\":
            i += 1
            if i == len(line):
                break
            out.append(ESCAPES.get(line[i], line[i]))
        else:
            out.append(line[i])
        i += 1
    if i >= len(line):
        raise RegTextError(number, line, "a string without its closing quote")
    return "".join(out), i + 1


def read_data(line, start, number):
    """(type, data) of the text that follows a value's "=" sign at start."""
    value = line[start:]
    if value.startswith('"'):
        text, end = read_string(line, start, number)
        if end != len(line):
            raise RegTextError(number, line, "text after the closing quote")
        return "REG_SZ", text
    kind, colon, data = value.partition(":")
    if not colon:
        raise RegTextError(number, line, "neither a string nor typed data")
    try:
        if kind == "dword":
            return "REG_DWORD", int(data, 16)
        return {"hex": "REG_BINARY"}.get(kind, kind), bytes(int(b, 16) for b in data.replace(" ", "").split(",") if b)
    except ValueError:
        raise RegTextError(number, line, f"data that is not {kind} data") from None


def parse_reg_export(text):
    """{key path: {value name: (type, data)}} from a regedit export; REG_SZ
    data is text, REG_DWORD an integer, other types raw bytes."""
    keys, current, pending, first = {}, None, "", 0
    for number, raw in enumerate(text.splitlines(), 1):
        line = pending + raw
        first = first or number
        # Long data goes on over the next lines, each but the last ending with a backslash.
        if line.endswith("\\") and not line.endswith('"\\'):
            pending = line[:-1].strip()
            continue
        pending, number, first = "", first, 0
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        if current is None or not line or line.startswith(";") or line.startswith("Windows Registry"):
            continue
        if line.startswith("@="):
            name, i = "", 1
        else:
            name, i = read_string(line, 0, number)
        if i >= len(line) or line[i] != "=":
            raise RegTextError(number, line, "no = after the value's name")
        current[name] = read_data(line, i + 1, number)
    if pending:
        raise RegTextError(first, pending, "the text ends inside a value that goes on")
    return keys
