"""A throwaway Wine prefix, with an Xvfb display of its own, for running the
tools as a user would: the registry is set up and read back with Wine's own
regedit, and message boxes are answered and recorded by box-driver.exe.

The prefix is a 64-bit one (with WoW64), copied from the template prefix, so a
32-bit deliverable runs in it as on 64-bit Windows. The helpers (regedit,
reg, box-driver) are 64-bit programs: they name the 32-bit registry view by
its 64-bit name, below Wow6432Node."""
import os
import shutil
import subprocess
import tempfile

from bitmap_to_png import bitmap_to_png

HKCU = "HKEY_CURRENT_USER"
HKLM = "HKEY_LOCAL_MACHINE"


HERE = os.path.dirname(os.path.abspath(__file__))


def find_wine():
    # Not /usr/bin/wine: where the wine package puts one, it prefers the
    # 32-bit loader and a 32-bit prefix.
    for candidate in (os.environ.get("WINE"), "/usr/lib/wine/wine64"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise RuntimeError("wine64 is not installed: run scripts/setup.sh")


def template_prefix():
    """The template prefix's path, made first if it is missing or stale."""
    result = subprocess.run([os.path.join(HERE, "template_prefix.sh")], stdout=subprocess.PIPE)
    if result.returncode != 0:
        raise RuntimeError("the template Wine prefix could not be made (tools/wine_harness/template_prefix.sh)")
    return result.stdout.decode().strip()


def pe_is_32_bit(exe):
    """True for an i386 PE image, False for any other machine."""
    with open(exe, "rb") as image:
        header = image.read(4096)
    offset = int.from_bytes(header[0x3C:0x40], "little")
    return header[offset:offset + 4] == b"PE\0\0" and header[offset + 4:offset + 6] == b"\x4c\x01"


def odbc_tree(root, exe_is_32_bit):
    """The registry path, as a 64-bit helper names it, of the ODBC tree that
    a program of that bitness sees below root: HKCU\\Software is one key for
    both views, HKLM\\Software is not."""
    if root == HKLM and exe_is_32_bit:
        return root + r"\Software\Wow6432Node\ODBC\ODBC.INI"
    return root + r"\Software\ODBC\ODBC.INI"


def unescape(text):
    """Undoes box-driver's escapes of backslash, tab, CR and LF."""
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


class Box:
    def __init__(self, caption, text, buttons, answer):
        self.caption, self.text, self.buttons, self.answer = caption, text, buttons, answer

    def __repr__(self):
        return f"[{self.caption!r}: {self.text!r} ({'/'.join(self.buttons)}) -> {self.answer}]"


def reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def parse_reg_string(line, i):
    """Reads a quoted .reg string starting at line[i]; returns (text, next index)."""
    assert line[i] == '"', line
    out, i = [], i + 1
    while line[i] != '"':
        if line[i] == "\\":
            i += 1
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(line[i], line[i]))
        else:
            out.append(line[i])
        i += 1
    return "".join(out), i + 1


def parse_reg_export(text):
    """{key path: {value name: (type, data)}} from a regedit export; REG_SZ
    data is text, other types raw bytes or an integer."""
    keys, current, pending = {}, None, ""
    for raw in text.splitlines():
        line = pending + raw
        if line.endswith("\\") and not line.endswith('"\\'):
            pending = line[:-1].strip()
            continue
        pending = ""
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
            continue
        if current is None or not line or line.startswith(";") or line.startswith("Windows Registry"):
            continue
        if line.startswith("@="):
            name, i = "", 1
        else:
            name, i = parse_reg_string(line, 0)
        assert line[i] == "=", line
        value = line[i + 1:]
        if value.startswith('"'):
            current[name] = ("REG_SZ", parse_reg_string(value, 0)[0])
        elif value.startswith("dword:"):
            current[name] = ("REG_DWORD", int(value[6:], 16))
        else:
            kind, _, hexdata = value.partition(":")
            data = bytes(int(b, 16) for b in hexdata.replace(" ", "").split(",") if b)
            current[name] = ({"hex": "REG_BINARY"}.get(kind, kind), data)
    return keys


class WineSession:
    """One Wine prefix and one Xvfb display, both removed by close()."""

    def __init__(self, helpers_dir, display=True):
        """helpers_dir: the windows-x64 build, which holds box-driver.exe."""
        self.wine = find_wine()
        self.box_driver = os.path.join(helpers_dir, "tools", "wine_harness", "box-driver.exe")
        if not os.path.exists(self.box_driver):
            raise RuntimeError(f"{self.box_driver} is missing: build the windows-x64 preset first")
        template = template_prefix()
        self.root = tempfile.mkdtemp(prefix="halvernik-wine.")
        prefix = os.path.join(self.root, "prefix")
        # The template already holds Managed=N (without a window manager,
        # Wine draws the boxes' title bars itself) and Wine's fonts.
        subprocess.run(["cp", "-a", template, prefix], check=True)
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.xvfb = None
        if display:
            self._start_xvfb()

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def close(self):
        subprocess.run([os.path.join(os.path.dirname(self.wine), "wineserver"), "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def run_wine(self, args, **kwargs):
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        return subprocess.run([self.wine] + args, env=self.env, **kwargs)

    def windows_path(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    # --- registry, with Wine's own regedit -------------------------------------------
    def import_keys(self, keys):
        """keys: {key path: {value name: text}} (an empty dict makes just the key)."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for path, values in keys.items():
            lines.append(f"[{path}]")
            for name, text in values.items():
                lines.append(("@" if name == "" else reg_string(name)) + "=" + reg_string(text))
            lines.append("")
        reg_file = os.path.join(self.root, "import.reg")
        with open(reg_file, "wb") as out:
            out.write(b"\xff\xfe" + "\r\n".join(lines + [""]).encode("utf-16-le"))
        self.run_wine(["regedit", "/s", self.windows_path(reg_file)], check=True)

    def delete_key(self, path):
        self.run_wine(["reg", "delete", path, "/f"])

    def export_keys(self, path):
        reg_file = os.path.join(self.root, "export.reg")
        if os.path.exists(reg_file):
            os.remove(reg_file)
        self.run_wine(["regedit", "/e", self.windows_path(reg_file), path])
        if not os.path.exists(reg_file):
            return {}
        return parse_reg_export(open(reg_file, "rb").read().decode("utf-16"))

    # --- programs ----------------------------------------------------------------------
    def run_answering_boxes(self, exe, answers=(), pictures_dir=None):
        """Runs exe under box-driver; returns (exit status, [Box, ...])."""
        log = os.path.join(self.root, "boxes.log")
        shots = os.path.join(self.root, "shots")
        shutil.rmtree(shots, ignore_errors=True)
        os.makedirs(shots)
        result = self.run_wine([self.box_driver, self.windows_path(log),
                                self.windows_path(shots) if pictures_dir else "-", ",".join(answers) or ",", exe],
                               timeout=900)
        boxes = []
        if os.path.exists(log):
            for line in open(log, encoding="utf-8").read().splitlines():
                caption, text, buttons, answer = line.split("\t")
                boxes.append(Box(unescape(caption), unescape(text), buttons.split(",") if buttons else [], answer))
        if pictures_dir:
            os.makedirs(pictures_dir, exist_ok=True)
            for index in range(1, len(boxes) + 1):
                bmp = os.path.join(shots, f"box-{index}.bmp")
                if os.path.exists(bmp):
                    bitmap_to_png(bmp, os.path.join(pictures_dir, f"box-{index}.png"))
        return result.returncode, boxes

    def system_text(self, code):
        """Wine's own text for a Win32 error code, as FormatMessageW gives it."""
        return unescape(self.run_wine([self.box_driver, "--system-text", str(code)]).stdout.decode("utf-8"))

    def cache_folder(self):
        """The Unix path of the driver's cache folder in this prefix."""
        local = self.run_wine(["cmd", "/c", "echo %LOCALAPPDATA%"]).stdout.decode().strip()
        return self.run_wine(["winepath", "-u", local + r"\Halvernik ODBC Driver\Cache"]).stdout.decode().strip()

    def run_console(self, exe, cwd):
        """Runs a console program with standard input at its end; returns (status, output)."""
        result = subprocess.run([self.wine, exe], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=900)
        return result.returncode, result.stdout.decode("utf-8", errors="replace")
