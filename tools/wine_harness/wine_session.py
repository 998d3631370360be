"""The one place that knows how to run a program under Wine.

A WineSession is a throwaway prefix copied from the template
(wine_prefix.py); optionally a display of its own (display.py); and
optionally an unprivileged user with a HOME and prefix of its own
(unprivileged_user.py), since Wine running as root ignores Unix permissions.
It sets up and reads the registry with Wine's own regedit (reg_text.py),
answers and records message boxes with box-driver.exe (message_boxes.py),
runs console programs with their output captured or on a real console
(console.py), and keeps a file open from another process (hold-file.exe).

A session can also be shared by the tests of one run: share() hands it to
other processes, which attach() to it, and end_shared() closes it for good.

The helpers (regedit, reg, box-driver, hold-file) are 64-bit programs: they
name the 32-bit registry view by its 64-bit name, below Wow6432Node."""
import contextlib
import difflib
import json
import os
import shutil
import subprocess
import tempfile

from bitmap_to_png import bitmap_to_png
from console import Console
from display import Display
# The names below that this module does not use are imported from here by
# the suites and scripts, as before the session had rooms of its own.
from harness_error import HarnessError
from message_boxes import Box, read_box_log, unescape  # noqa: F401
from reg_text import RegTextError, import_text, parse_reg_export, reg_string  # noqa: F401
from unprivileged_user import CHECK_USER, UnprivilegedUser  # noqa: F401
from wine_prefix import TIMEOUT, WINE, WINE_VARIABLES, WINESERVER, copy_of_template, template_prefix  # noqa: F401
from wine_prefix import wine_environment

HKCU = "HKEY_CURRENT_USER"
HKLM = "HKEY_LOCAL_MACHINE"

# Where the tools' local application data lives in a prefix, outside ASCII.
LOCAL_APPDATA_OUTSIDE_ASCII = "C:\\Données\\Local"
CACHE_BELOW_LOCAL_APPDATA = "\\Halvernik ODBC Driver\\Cache"


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


class WineSession:
    """One Wine prefix, optionally with an Xvfb display and as an
    unprivileged user; close() removes all of it."""

    def __init__(self, helpers_dir, display=True, as_user=False):
        """helpers_dir: the folder of box-driver.exe and hold-file.exe (64-bit)."""
        for helper in ("box-driver.exe", "hold-file.exe"):
            if not os.path.exists(os.path.join(helpers_dir, helper)):
                raise HarnessError(f"{os.path.join(helpers_dir, helper)} is missing: build the Windows preset first")
        template_prefix()
        self.helpers_dir, self.attached, self.moved_local_appdata, self.display = helpers_dir, False, None, None
        self.user = UnprivilegedUser() if as_user else None
        self.root = tempfile.mkdtemp(prefix="halvernik-wine.")
        try:
            # The template already holds Managed=N and Wine's fonts.
            prefix = copy_of_template(os.path.join(self.root, "prefix"))
            if self.user:
                # The user's own HOME, prefix and copies of what it runs: a
                # checkout may sit where only root can enter.
                os.chmod(self.root, 0o755)
                os.makedirs(os.path.join(self.root, "programs"))
                self.user.own(self.root)
            self.env = self._environment(prefix)
            if self.user:
                self._check_user_can_enter(self.root)
            self.box_driver = self.program(os.path.join(helpers_dir, "box-driver.exe"))
            self.hold_file = self.program(os.path.join(helpers_dir, "hold-file.exe"))
            if display:
                self.display = Display.start()
                self.env["DISPLAY"] = self.display.name
        except BaseException:
            self._end()
            raise

    def _environment(self, prefix):
        if self.user:
            return wine_environment(prefix, home=self.root, user=self.user.name)
        return wine_environment(prefix)

    def _check_user_can_enter(self, folder):
        result = subprocess.run(self.argv_as_user(["test", "-w", folder]), stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, check=False)
        if result.returncode != 0:
            raise HarnessError(f"user {self.user.name} cannot enter {folder} ({result.stderr.decode().strip()}): "
                               "set TMPDIR to a folder that every user can enter")

    # --- one session for the tests of a run -------------------------------------------
    def keep_server_running(self):
        """Starts the session's Wine server to run until the session ends,
        with Wine's own services, before any program of a test: they then
        hold no test's output open, and no test waits for them to start.
        Called first, before anything else runs in the prefix."""
        subprocess.run(self.argv_as_user([WINESERVER, "-p"]), env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        self.run(["cmd", "/c", "exit"], stdout=subprocess.DEVNULL, check=True)

    def share(self, state_file):
        """Hands the session to the other processes of a test run, which
        attach() to it in turn; it then lives on after this process, until
        end_shared()."""
        state = {
            "helpers_dir": os.path.abspath(self.helpers_dir), "root": self.root, "prefix": self.env["WINEPREFIX"],
            "display": self.display and {"number": self.display.number, "pid": self.display.pid},
            "user": self.user and {"name": self.user.name, "made": self.user.made},
            "moved_local_appdata": self.moved_local_appdata,
            "box_driver": self.box_driver, "hold_file": self.hold_file,
        }
        os.makedirs(os.path.dirname(os.path.abspath(state_file)), exist_ok=True)
        with open(state_file + ".new", "w") as out:
            json.dump(state, out)
        os.replace(state_file + ".new", state_file)
        self.attached = True

    @classmethod
    def attach(cls, state_file):
        """The session that share() handed out at state_file. Its close()
        leaves it as it is, for the next process."""
        try:
            with open(state_file) as saved:
                state = json.load(saved)
        except FileNotFoundError:
            raise HarnessError(f"no shared Wine session at {state_file}: the set-up of its fixture did not run "
                               "(run the test through ctest)") from None
        session = cls.__new__(cls)
        session.helpers_dir, session.root, session.attached = state["helpers_dir"], state["root"], True
        session.user = state["user"] and UnprivilegedUser(state["user"]["name"], state["user"]["made"])
        session.moved_local_appdata = state["moved_local_appdata"]
        session.box_driver, session.hold_file = state["box_driver"], state["hold_file"]
        session.env = session._environment(state["prefix"])
        session.display = state["display"] and Display(state["display"]["number"], state["display"]["pid"])
        if session.display:
            session.env["DISPLAY"] = session.display.name
        return session

    @classmethod
    def end_shared(cls, state_file):
        """Ends the session shared at state_file, if there is one."""
        if os.path.exists(state_file):
            cls.attach(state_file)._end()
            os.remove(state_file)

    def close(self):
        if not self.attached:
            self._end()

    def _end(self):
        if hasattr(self, "env"):
            subprocess.run(self.argv_as_user([WINESERVER, "-k"]), env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
        if self.display:
            self.display.stop()
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
        if not self.user:
            return list(argv)
        env = env or self.env
        return self.user.argv(argv, {name: env[name] for name in WINE_VARIABLES + ("PATH",) if name in env})

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
        self.user.own(copy)
        return copy

    def folder(self, *parts):
        """A new folder below the session's root, owned by its user, named
        after parts: made afresh at every call, never one that exists, so
        that no two scenarios share one."""
        base = os.path.join(self.root, "folders")
        self.run_as_user(["mkdir", "-p", base])
        path = tempfile.mkdtemp(prefix="-".join(parts or ("folder",)) + ".", dir=base)
        os.chmod(path, 0o755)
        if self.user:
            self.user.own(path)
        return path

    def windows_path(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")

    def unix_path(self, windows_path):
        return self.run(["winepath", "-u", windows_path]).stdout.decode().strip()

    # --- registry, with Wine's own regedit -------------------------------------------
    def import_keys(self, keys):
        """keys: {key path: {value name: text}} (an empty dict makes just the key)."""
        reg_file = os.path.join(self.root, "import.reg")
        with open(reg_file, "wb") as out:
            out.write(import_text(keys))
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
        boxes = read_box_log(open(log, encoding="utf-8").read()) if os.path.exists(log) else []
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
        variables = {name: self.env[name] for name in WINE_VARIABLES if name in self.env}
        console = Console(self.argv([self.program(exe)]), variables, cwd, self.root)
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
