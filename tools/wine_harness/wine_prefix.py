"""Where Wine is, the environment every Wine process gets, and the template
prefix that every session copies: a 64-bit prefix (with WoW64), so that a
32-bit deliverable runs in it as on 64-bit Windows."""
import contextlib
import fcntl
import os
import shutil
import subprocess

from harness_error import HarnessError
from wine_policy import probe

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Not /usr/bin/wine: where the wine package puts one, it prefers the 32-bit
# loader and a 32-bit prefix. wine64 hands a 32-bit program to the 32-bit
# loader, as WoW64 does.
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WINESERVER = os.path.join(os.path.dirname(WINE), "wineserver")

TIMEOUT = 900  # seconds for one program: about a minute where 32-bit code is emulated

# What a Wine process takes from a session's environment.
WINE_VARIABLES = ("WINEPREFIX", "WINEDEBUG", "LC_ALL", "WINEDLLOVERRIDES", "DISPLAY", "HOME", "USER", "LOGNAME")


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
    session copies it (a few seconds)."""
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
        print(f"wine_prefix: making the template Wine prefix in {template} (once)", flush=True)
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


def copy_of_template(prefix):
    """A new prefix at prefix, copied from the template (made first if need be)."""
    subprocess.run(["cp", "-a", template_prefix(), prefix], check=True)
    return prefix
