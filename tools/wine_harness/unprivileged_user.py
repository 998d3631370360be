"""The unprivileged user that a session runs as, when a test needs the file
system's real refusals: Wine running as root ignores Unix permissions."""
import os
import pwd
import subprocess

# Runs as another user are made as this system user when root runs them.
CHECK_USER = "halvernik-check"


class UnprivilegedUser:
    """Whoever runs this when it is not root; else CHECK_USER, made when
    missing, and then removed again by close()."""

    def __init__(self, name=None, made=False):
        """name: a user that another process of the test run took (and made,
        if made), to be used as it is."""
        self.made = made
        if name is None and os.geteuid() != 0:
            name = pwd.getpwuid(os.geteuid()).pw_name
        elif name is None:
            name = CHECK_USER
            try:
                pwd.getpwnam(name)
            except KeyError:
                subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name],
                               check=True)
                self.made = True
        self.name = name
        entry = pwd.getpwnam(name)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid

    def argv(self, argv, variables):
        """argv, run as this user with the environment variables given (a
        dict); as it is when this process is not root."""
        if os.geteuid() != 0:
            return list(argv)
        return (["runuser", "-u", self.name, "--", "env"] + [f"{name}={value}" for name, value in variables.items()]
                + list(argv))

    def own(self, path):
        """Gives path (and all below it) to this user."""
        if os.geteuid() == 0:
            subprocess.run(["chown", "-R", f"{self.uid}:{self.gid}", path], check=True)

    def close(self):
        if self.made:
            # Its group, made with it, goes with it.
            subprocess.run(["userdel", self.name], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            self.made = False
