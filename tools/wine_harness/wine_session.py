"""The one place that knows how to run a program under Wine.

A WineSession is a throwaway 64-bit prefix (with WoW64), copied from a
template made once, so a 32-bit deliverable runs in it as on 64-bit Windows;
optionally an Xvfb display of its own; and optionally an unprivileged user
with a HOME and prefix of its own (Wine running as root ignores Unix
permissions, so real refusals need another user). It sets up and reads the
registry with Wine's own regedit, answers and records message boxes with
box-driver.exe, runs console programs with their output captured or on a
real console (tmux), keeps a file open from another process (hold-file.exe),
and compares a program's output with what is expected, line by line.

The helpers (regedit, reg, box-driver, hold-file) are 64-bit programs: they
name the 32-bit registry view by its 64-bit name, below Wow6432Node."""
import contextlib
import difflib
import fcntl
import os
import pwd
import shlex
import shutil
import subprocess
import tempfile
import time

from bitmap_to_png import bitmap_to_png
from wine_policy import probe

HKCU = "HKEY_CURRENT_USER"
HKLM = "HKEY_LOCAL_MACHINE"

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

# Not /usr/bin/wine: where the wine package puts one, it prefers the 32-bit
# loader and a 32-bit prefix. wine64 hands a 32-bit program to the 32-bit
# loader, as WoW64 does.
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WINESERVER = os.path.join(os.path.dirname(WINE), "wineserver")

# Where the tools' local application data lives in a prefix, outside ASCII.
LOCAL_APPDATA_OUTSIDE_ASCII = "C:\\Données\\Local"
CACHE_BELOW_LOCAL_APPDATA = "\\Halvernik ODBC Driver\\Cache"

# Runs as another user are made as this system user when root runs them.
CHECK_USER = "halvernik-check"

# What a Wine process takes from the session's environment.
WINE_VARIABLES = ("WINEPREFIX", "WINEDEBUG", "LC_ALL", "WINEDLLOVERRIDES", "DISPLAY", "HOME", "USER", "LOGNAME")

TIMEOUT = 900  # seconds for one program: about a minute where 32-bit code is emulated


class HarnessError(RuntimeError):
    """The harness cannot do what a test needs, with the reason."""


def wine_environment(prefix, home=None, user=None):
    """The environment of every Wine process: its prefix, no debug output,
    a UTF-8 locale (Wine maps names and arguments outside ASCII through it),
    no Mono or Gecko installer, and no display unless one is given later."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", LC_ALL="C.UTF-8",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    if home:
        env.update(HOME=home, USER=user, LOGNAME=user)
    return env


def template_prefix():
    """The template prefix, made first when missing or stale: a prefix made
    before wine32 was installed, or under another way of running 32-bit
    code, cannot run 32-bit programs. Wineboot takes about two minutes where
    32-bit code runs emulated, so it is made once per checkout, and every
    session copies it (about two seconds)."""
    template = os.environ.get("HALVERNIK_WINE_TEMPLATE", os.path.join(SOURCE, "build", "wine-template"))
    if not os.access(WINE, os.X_OK):
        raise HarnessError(f"{WINE} is not installed: run scripts/setup.sh")
    wine_version = subprocess.run([WINE, "--version"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  check=False).stdout.decode().strip()
    wine32 = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "wine32:i386"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, check=False).stdout.decode().strip() or "none"
    stamp = f"{wine_version} | wine32 {wine32} | {probe()}"
    stamp_file = os.path.join(template, ".halvernik-stamp")
    os.makedirs(os.path.dirname(template), exist_ok=True)
    with open(template + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(stamp_file) and open(stamp_file).read().strip() == stamp:
            return template
        shutil.rmtree(template, ignore_errors=True)
        print(f"wine_session: making the template Wine prefix in {template} (once)", flush=True)
        env = wine_environment(template)
        subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=False)
        # No window manager runs on the display: the boxes get their title
        # bars only when Wine draws them itself (Managed=N).
        subprocess.run([WINE, "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        fonts = os.path.join(template, "drive_c", "windows", "Fonts")
        for font in os.listdir("/usr/share/wine/fonts") if os.path.isdir("/usr/share/wine/fonts") else []:
            if font.endswith(".ttf"):
                shutil.copy(os.path.join("/usr/share/wine/fonts", font), fonts)
        subprocess.run([WINESERVER, "-w"], env=env, check=False)
        # Where this prefix's wineserver kept its socket: a copy must not point there.
        with contextlib.suppress(FileNotFoundError):
            os.remove(os.path.join(template, "wineserver"))
        if not (os.path.exists(os.path.join(template, "system.reg"))
                and os.path.isdir(os.path.join(template, "drive_c", "windows", "syswow64"))):
            raise HarnessError(f"wineboot did not make a whole prefix in {template}")
        with open(stamp_file, "w") as out:
            out.write(stamp + "\n")
    return template


def helpers_of(build_dir):
    """The folder of the helpers that a Windows build made."""
    return os.path.join(build_dir, "wine-helpers")


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


def compare_lines(expected, actual):
    """None when the output (text, CR LF or LF) is, line by line, the
    expected lines; otherwise what differs, as a unified diff."""
    got = actual.replace("\r\n", "\n").split("\n")
    if got and got[-1] == "":
        got.pop()
    if got == list(expected):
        return None
    diff = difflib.unified_diff(list(expected), got, "expected", "output", lineterm="")
    return "the output differs from what is expected:\n" + "\n".join("  " + line for line in diff)


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


class UnprivilegedUser:
    """The user that runs as another user: whoever runs this when it is not
    root; else CHECK_USER, made for the run if missing and then removed."""

    def __init__(self):
        self.made = False
        if os.geteuid() != 0:
            self.name = pwd.getpwuid(os.geteuid()).pw_name
            return
        self.name = CHECK_USER
        try:
            pwd.getpwnam(self.name)
        except KeyError:
            subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", self.name],
                           check=True)
            self.made = True
        self.uid, self.gid = pwd.getpwnam(self.name).pw_uid, pwd.getpwnam(self.name).pw_gid

    def close(self):
        if self.made:
            # Its group, made with it, goes with it.
            subprocess.run(["userdel", self.name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            self.made = False


class Console:
    """A program on a real console: tmux gives Wine a terminal, so the
    program's lines go through WriteConsoleW and its wait reads the keyboard."""

    def __init__(self, session, exe, cwd):
        self.work = tempfile.mkdtemp(prefix="console.", dir=session.root)
        self.socket = os.path.join(self.work, "tmux.socket")
        self.status_file = os.path.join(self.work, "status")
        exports = "unset DISPLAY WAYLAND_DISPLAY\n" + "".join(
            f"export {name}={shlex.quote(session.env[name])}\n" for name in WINE_VARIABLES if name in session.env)
        script = os.path.join(self.work, "session.sh")
        with open(script, "w") as out:
            # The status file is written only once the program has ended.
            out.write(f"{exports}cd {shlex.quote(cwd)}\n{shlex.join(session.argv([exe]))}\n"
                      f"echo $? >{shlex.quote(self.status_file)}\nsleep 600\n")
        self.tmux("new-session", "-d", "-x", "250", "-y", "40", f"bash {shlex.quote(script)}")

    def tmux(self, *args):
        return subprocess.run(["tmux", "-u", "-S", self.socket] + list(args), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, check=False).stdout.decode("utf-8", errors="replace")

    def screen(self):
        """The screen's lines, wrapped lines joined, blank ones left out."""
        lines = [line.rstrip() for line in self.tmux("capture-pane", "-p", "-J").splitlines()]
        return [line for line in lines if line]

    def wait_for_line(self, line, timeout=TIMEOUT):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if line in self.screen():
                return True
            time.sleep(0.5)
        return False

    def press_enter(self):
        self.tmux("send-keys", "Enter")

    def status(self, timeout=0):
        """The program's exit status once it has ended, else None."""
        deadline = time.monotonic() + timeout
        while True:
            if os.path.exists(self.status_file):
                return int(open(self.status_file).read().strip())
            if time.monotonic() >= deadline:
                return None
            time.sleep(0.5)

    def close(self):
        self.tmux("kill-server")


class WineSession:
    """One Wine prefix, optionally with an Xvfb display and as an
    unprivileged user; close() removes all of it."""

    def __init__(self, helpers_dir, display=True, as_user=False):
        """helpers_dir: the folder of box-driver.exe and hold-file.exe (64-bit)."""
        self.helpers_dir = helpers_dir
        for helper in ("box-driver.exe", "hold-file.exe"):
            if not os.path.exists(os.path.join(helpers_dir, helper)):
                raise HarnessError(f"{os.path.join(helpers_dir, helper)} is missing: build the Windows preset first")
        template = template_prefix()
        self.user = UnprivilegedUser() if as_user else None
        self.xvfb = None
        self.moved_local_appdata = None
        self.root = tempfile.mkdtemp(prefix="halvernik-wine.")
        prefix = os.path.join(self.root, "prefix")
        # The template already holds Managed=N and Wine's fonts.
        subprocess.run(["cp", "-a", template, prefix], check=True)
        if self.user:
            # The user's own HOME, prefix and copies of what it runs: a
            # checkout may sit where only root can enter.
            os.chmod(self.root, 0o755)
            os.makedirs(os.path.join(self.root, "programs"))
            self.env = wine_environment(prefix, home=self.root, user=self.user.name)
            if os.geteuid() == 0:
                subprocess.run(["chown", "-R", f"{self.user.uid}:{self.user.gid}", self.root], check=True)
            self._check_user_can_enter(self.root)
        else:
            self.env = wine_environment(prefix)
        self.box_driver = self.program(os.path.join(helpers_dir, "box-driver.exe"))
        self.hold_file = self.program(os.path.join(helpers_dir, "hold-file.exe"))
        if display:
            self._start_xvfb()

    def _check_user_can_enter(self, folder):
        result = subprocess.run(self.argv_as_user(["test", "-w", folder]), stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, check=False)
        if result.returncode != 0:
            raise HarnessError(f"user {self.user.name} cannot enter {folder} ({result.stderr.decode().strip()}): "
                               "set TMPDIR to a folder that every user can enter")

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise HarnessError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number

    def close(self):
        subprocess.run(self.argv_as_user([WINESERVER, "-k"]), env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.root, ignore_errors=True)
        if self.user:
            self.user.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- processes --------------------------------------------------------------------
    def argv_as_user(self, argv, env=None):
        """argv, run as the session's user with the session's environment (or env)."""
        if not self.user or os.geteuid() != 0:
            return list(argv)
        env = env or self.env
        return (["runuser", "-u", self.user.name, "--", "env"]
                + [f"{name}={env[name]}" for name in WINE_VARIABLES + ("PATH",) if name in env] + list(argv))

    def argv(self, args, env=None):
        """The command line that runs args (a program and its arguments) under Wine."""
        return self.argv_as_user([WINE] + list(args), env)

    def run(self, args, debug=None, **kwargs):
        """Runs args under Wine; debug: Wine debug channels to turn on."""
        env = dict(self.env, WINEDEBUG=f"-all,{debug}") if debug else self.env
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("timeout", TIMEOUT)
        return subprocess.run(self.argv(args, env), env=env, **kwargs)

    def run_as_user(self, argv, **kwargs):
        """A Unix command as the session's user (mkdir, chmod and the like)."""
        kwargs.setdefault("stdout", subprocess.PIPE)
        return subprocess.run(self.argv_as_user(argv), env=self.env, check=True, **kwargs)

    def program(self, path):
        """A path to the program that the session's user can run: the program
        itself, or for another user a copy in a folder that user owns."""
        if not self.user:
            return os.path.abspath(path)
        copy = os.path.join(self.root, "programs", os.path.basename(path))
        shutil.copy(path, copy)
        if os.geteuid() == 0:
            os.chown(copy, self.user.uid, self.user.gid)
        return copy

    def folder(self, *parts):
        """A new folder below the session's root, owned by its user."""
        path = os.path.join(self.root, "folders", *parts)
        self.run_as_user(["mkdir", "-p", path])
        return path

    def windows_path(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    def unix_path(self, windows_path):
        return self.run(["winepath", "-u", windows_path]).stdout.decode().strip()

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
        self.run(["regedit", "/s", self.windows_path(reg_file)], check=True)

    def delete_key(self, path):
        self.run(["reg", "delete", path, "/f"])

    def export_keys(self, path):
        reg_file = os.path.join(self.root, "export.reg")
        if os.path.exists(reg_file):
            os.remove(reg_file)
        self.run(["regedit", "/e", self.windows_path(reg_file), path])
        if not os.path.exists(reg_file):
            return {}
        return parse_reg_export(open(reg_file, "rb").read().decode("utf-16"))

    def set_value(self, key, name, text, kind="REG_SZ"):
        self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", text, "/f"], check=True)

    # --- the user's folders -------------------------------------------------------------
    def local_appdata(self):
        """The local application-data folder of the prefix's user, as Windows names it."""
        if self.moved_local_appdata:
            return self.moved_local_appdata
        return self.run(["cmd", "/c", "echo %LOCALAPPDATA%"]).stdout.decode().strip()

    def cache_folder(self):
        """The driver's cache folder: (Windows path, Unix path)."""
        windows = self.local_appdata() + CACHE_BELOW_LOCAL_APPDATA
        return windows, self.unix_path(windows)

    def move_local_appdata_outside_ascii(self):
        """Points the local application-data folder at a path outside ASCII,
        which then exists, without the cache folder."""
        self.set_value(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders",
                       "Local AppData", LOCAL_APPDATA_OUTSIDE_ASCII, "REG_EXPAND_SZ")
        self.run_as_user(["mkdir", "-p", self.unix_path(LOCAL_APPDATA_OUTSIDE_ASCII)])
        self.moved_local_appdata = LOCAL_APPDATA_OUTSIDE_ASCII

    # --- programs -----------------------------------------------------------------------
    def run_answering_boxes(self, exe, answers=(), pictures_dir=None):
        """Runs exe under box-driver; returns (exit status, [Box, ...])."""
        log = os.path.join(self.root, "boxes.log")
        shots = os.path.join(self.root, "shots")
        shutil.rmtree(shots, ignore_errors=True)
        os.makedirs(shots)
        with contextlib.suppress(FileNotFoundError):
            os.remove(log)
        result = self.run([self.box_driver, self.windows_path(log),
                           self.windows_path(shots) if pictures_dir else "-", ",".join(answers) or ",",
                           self.program(exe)])
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

    def picture_of_window(self, title, png):
        """Waits for a top-level window whose title holds title, saves its
        picture as png, and returns its whole title."""
        bmp = os.path.join(self.root, "window.bmp")
        title = self.run([self.box_driver, "--picture-window", title, self.windows_path(bmp)]).stdout.decode()
        bitmap_to_png(bmp, png)
        return title.strip()

    def system_text(self, code):
        """Wine's own text for a Win32 error code, as FormatMessageW gives it."""
        return unescape(self.run([self.box_driver, "--system-text", str(code)]).stdout.decode("utf-8"))

    def error_text(self, code):
        """The system text of a code as cache-access-check prints it: without
        CR and LF, then the code in parentheses."""
        return self.system_text(code).replace("\r", "").replace("\n", "") + f" ({code})"

    def run_console(self, exe, cwd):
        """Runs a console program in cwd with standard input at its end;
        returns (status, its standard output's bytes)."""
        result = self.run([self.program(exe)], cwd=cwd)
        return result.returncode, result.stdout

    def start(self, args, **kwargs):
        """Starts args under Wine and returns the process, for a program run
        beside another (a window to take a picture of, say)."""
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        return subprocess.Popen(self.argv(args), env=self.env, **kwargs)

    @contextlib.contextmanager
    def on_console(self, exe, cwd):
        """Runs a console program on a real console; yields the Console."""
        console = Console(self, self.program(exe), cwd)
        try:
            yield console
        finally:
            console.close()

    @contextlib.contextmanager
    def holding(self, name, cwd):
        """Keeps the file name (in cwd) open without sharing, from another
        process, for the time of the block."""
        holder = subprocess.Popen(self.argv([self.hold_file, name]), env=self.env, cwd=cwd, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            said = holder.stdout.readline().decode().strip()
            if said != "held":
                raise HarnessError(f"hold-file.exe could not hold {name}: {said or 'it said nothing'}")
            yield
        finally:
            holder.stdin.close()  # its input ends: it closes the file and exits
            holder.wait(timeout=TIMEOUT)
