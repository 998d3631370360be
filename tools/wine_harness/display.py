"""An X display of a session's own: an Xvfb server, so that message boxes
appear, can be answered and can be pictured without a screen."""
import os
import signal
import subprocess
import time

from harness_error import HarnessError


class Display:
    """An Xvfb server, by its display number and process id. It runs in a
    process group of its own, so that it can outlive the process that
    started it when a session is shared between tests."""

    def __init__(self, number, pid, process=None):
        self.number, self.pid, self.process = number, pid, process

    @classmethod
    def start(cls):
        read_end, write_end = os.pipe()
        process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            process.kill()
            process.wait()
            raise HarnessError("Xvfb did not start")
        return cls(int(number), process.pid, process)

    @property
    def name(self):
        """What DISPLAY names it by."""
        return f":{self.number}"

    def is_running(self):
        """True while the process of that id is still this Xvfb (an id is
        given to another process once it has ended)."""
        try:
            with open(f"/proc/{self.pid}/cmdline", "rb") as cmdline:
                argv = cmdline.read().split(b"\0")
        except OSError:
            return False
        return os.path.basename(argv[0]) == b"Xvfb" and b"-displayfd" in argv

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()
            return
        # Started by another process of the test run: ended by its id alone.
        if self.is_running():
            os.kill(self.pid, signal.SIGTERM)
            deadline = time.monotonic() + 10
            while self.is_running() and time.monotonic() < deadline:
                time.sleep(0.1)
