"""A program on a real console: tmux gives Wine a terminal, so the
program's lines go through WriteConsoleW and its wait reads the keyboard."""
import os
import shlex
import subprocess
import tempfile
import time

from wine_prefix import TIMEOUT


class Console:
    def __init__(self, argv, variables, cwd, work_root):
        """argv: the command that runs the program; variables: the
        environment it gets (a dict); work_root: where the console keeps its
        socket and script."""
        self.work = tempfile.mkdtemp(prefix="console.", dir=work_root)
        self.socket = os.path.join(self.work, "tmux.socket")
        self.status_file = os.path.join(self.work, "status")
        exports = "unset DISPLAY WAYLAND_DISPLAY\n" + "".join(
            f"export {name}={shlex.quote(value)}\n" for name, value in variables.items())
        script = os.path.join(self.work, "session.sh")
        with open(script, "w") as out:
            # The status file is written only once the program has ended.
            out.write(f"{exports}cd {shlex.quote(cwd)}\n{shlex.join(argv)}\n"
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
