#!/usr/bin/env python3
"""How the machine runs 32-bit code decides what the tests count as run on
the deliverables, and whether set-up registers an emulator. Each case plants
a machine: a binfmt_misc folder with its entries, and a stand-in for 32-bit
Wine's loader (one that runs, one the kernel refuses, one that fails).

usage: probe_and_setup_test.py SOURCE_DIR"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
PROBE = os.path.join(SOURCE, "scripts", "probe_32bit.py")
SETUP = os.path.join(SOURCE, "scripts", "setup.sh")

I386 = ("enabled\ninterpreter /usr/bin/qemu-i386-static\nflags: F\noffset 0\n"
        "magic 7f454c4601010100000000000000000002000300\nmask fffffffffffefe00fffffffffffffffffeffffff\n")
ARM = I386.replace("magic 7f454c4601010100000000000000000002000300", "magic 7f454c4601010100000000000000000002002800")
EXTENSION = "enabled\ninterpreter /usr/bin/mono\nflags: \nextension .exe\n"

# Stand-ins for 32-bit Wine's loader.
LOADERS = {
    "runs": "#!/bin/sh\necho wine-8.0 '(Debian 8.0~repack-4)'\n",
    # Neither ELF nor a script: the kernel answers ENOEXEC, as a kernel
    # without 32-bit support answers for a 32-bit program.
    "refused": b"\x7fELF\x01\x01\x01\x00 not a program this kernel takes\n",
    "fails": "#!/bin/sh\necho 'wine: error while loading shared libraries: libc.so.6' >&2\nexit 127\n",
    "no interpreter": "#!/nonexistent/ld-linux.so.2\n",
    "missing": None,
}


class Machine:
    """A planted machine in a temporary folder."""

    def __init__(self, entries=None, status="enabled", loader="runs"):
        self.root = tempfile.mkdtemp(prefix="halvernik-machine.")
        self.binfmt = os.path.join(self.root, "binfmt_misc")
        os.mkdir(self.binfmt)
        if status is not None:
            self.write(os.path.join(self.binfmt, "status"), status + "\n")
            self.write(os.path.join(self.binfmt, "register"), "")
        for name, text in (entries or {}).items():
            self.write(os.path.join(self.binfmt, name), text)
        self.loader = os.path.join(self.root, "wine")
        if LOADERS[loader] is not None:
            self.write(self.loader, LOADERS[loader], executable=True)
        self.env = dict(os.environ, HALVERNIK_BINFMT_DIR=self.binfmt, HALVERNIK_WINE32_LOADER=self.loader)

    @staticmethod
    def write(path, content, executable=False):
        with open(path, "wb") as out:
            out.write(content.encode() if isinstance(content, str) else content)
        if executable:
            os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)

    def read(self, name):
        with open(os.path.join(self.binfmt, name)) as entry:
            return entry.read()

    def probe(self):
        result = subprocess.run([PROBE], env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True)
        return result.stdout.decode().strip(), result.stderr.decode().strip()

    def close(self):
        shutil.rmtree(self.root)


class Probe(unittest.TestCase):
    CASES = [
        # (case, entries, binfmt status, loader, word)
        ("a loader that runs, no emulator", {}, "enabled", "runs", "native"),
        ("an enabled entry for 32-bit x86, whatever its name", {"i386-by-another-name": I386}, "enabled", "runs",
         "emulated"),
        ("the emulator's entry, even with a loader that fails", {"qemu-i386": I386}, "enabled", "fails", "emulated"),
        ("a disabled entry does not act", {"qemu-i386": I386.replace("enabled", "disabled", 1)}, "enabled",
         "refused", "refused"),
        ("binfmt_misc itself disabled", {"qemu-i386": I386}, "disabled", "refused", "refused"),
        ("an entry for another machine", {"qemu-arm": ARM}, "enabled", "refused", "refused"),
        ("an entry by extension", {"mono": EXTENSION}, "enabled", "refused", "refused"),
        ("the kernel refuses 32-bit code", {}, "enabled", "refused", "refused"),
        ("a loader that fails is broken, not refused", {}, "enabled", "fails", "broken"),
        ("a loader whose interpreter is missing", {}, "enabled", "no interpreter", "broken"),
        ("no 32-bit Wine", {}, "enabled", "missing", "broken"),
        ("binfmt_misc unseen: a loader that runs may be emulated", {}, None, "runs", "unknown"),
        ("binfmt_misc unseen, and the kernel refuses", {}, None, "refused", "refused"),
    ]

    def test_each_machine_is_named_by_what_it_does(self):
        for case, entries, status, loader, word in self.CASES:
            with self.subTest(case):
                machine = Machine(entries, status, loader)
                try:
                    said, why = machine.probe()
                    self.assertEqual(said, word, why)
                    self.assertTrue(why.startswith("probe-32bit: "), why)
                finally:
                    machine.close()


def checkout_state(root):
    """Every file of a checkout, with its size and time, but the build
    folders, git's own and Python's caches, which other tests write."""
    state = []
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [name for name in subfolders if name not in ("build", ".git", "__pycache__")]
        for name in files:
            info = os.lstat(os.path.join(folder, name))
            state.append((os.path.relpath(os.path.join(folder, name), root), info.st_size, info.st_mtime_ns))
    return sorted(state)


class Setup(unittest.TestCase):
    """scripts/setup.sh, in a checkout planted beside the machine (the
    set-up scripts, and the schema check's lock file), with apt, dpkg,
    mount, npm, node and fetch-yyjson.sh stood in for: everything counts as
    installed, nothing is fetched, and nothing outside the planted machine
    and checkout changes."""

    def run_setup(self, machine, mount_works=True):
        stubs = os.path.join(machine.root, "bin")
        os.mkdir(stubs)
        log = os.path.join(machine.root, "calls.log")
        checkout = os.path.join(machine.root, "checkout")
        os.makedirs(os.path.join(checkout, "scripts"))
        for script in ("setup.sh", "probe_32bit.py", "enable_32bit_emulation.sh"):
            shutil.copy2(os.path.join(SOURCE, "scripts", script), os.path.join(checkout, "scripts"))
        Machine.write(os.path.join(checkout, "scripts", "fetch-yyjson.sh"),
                      f'#!/bin/sh\necho "fetch-yyjson.sh in $(cd "$(dirname "$0")/.." && pwd)" >>{log}\n',
                      executable=True)
        schema_check = os.path.join(checkout, "tests", "windows", "sbom_schema")
        os.makedirs(schema_check)
        shutil.copy(os.path.join(SOURCE, "tests", "windows", "sbom_schema", "package-lock.json"), schema_check)
        scripts = {
            "dpkg-query": "echo 'install ok installed'",
            "dpkg": "echo i386",
            "apt-get": f'echo "apt-get $*" >>{log}',
            "apt-cache": "exit 0",
            "sudo": 'exec "$@"',
            "mount": f'echo "mount $*" >>{log}; exit {0 if mount_works else 32}',
            "npm": f'echo "npm $* in $PWD" >>{log}; mkdir -p node_modules',
            "node": "exit 0",
        }
        for name, body in scripts.items():
            Machine.write(os.path.join(stubs, name), f"#!/bin/sh\n{body}\n", executable=True)
        emulator = os.path.join(machine.root, "qemu-i386-static")
        Machine.write(emulator, "#!/bin/sh\n", executable=True)
        env = dict(machine.env, PATH=stubs + os.pathsep + os.environ["PATH"], HALVERNIK_QEMU_I386=emulator)
        result = subprocess.run(["bash", os.path.join(checkout, "scripts", "setup.sh")], env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300,
                                check=False)
        calls = ""
        if os.path.exists(log):
            with open(log) as said:
                calls = said.read()
        return result.returncode, result.stdout.decode(), calls

    def machine(self, **kwargs):
        machine = Machine(**kwargs)
        self.addCleanup(machine.close)
        return machine

    def test_native_machine_gets_no_emulator(self):
        machine = self.machine(loader="runs")
        status, output, calls = self.run_setup(machine)
        self.assertEqual(status, 0, output)
        self.assertIn("setup: 32-bit programs run native here", output)
        self.assertEqual(machine.read("register"), "")
        self.assertNotIn("qemu", calls)

    def test_the_schema_packages_and_yyjson_come_in_the_planted_checkout_alone(self):
        machine = self.machine(loader="runs")
        before = checkout_state(SOURCE)
        status, output, calls = self.run_setup(machine)
        self.assertEqual(status, 0, output)
        checkout = os.path.join(machine.root, "checkout")
        self.assertIn(f"npm ci --no-audit --no-fund --ignore-scripts --loglevel=error in "
                      f"{os.path.join(checkout, 'tests', 'windows', 'sbom_schema')}\n", calls)
        self.assertIn(f"fetch-yyjson.sh in {checkout}\n", calls)
        self.assertEqual(checkout_state(SOURCE), before)

    def test_broken_wine_stops_with_the_reason_and_registers_nothing(self):
        machine = self.machine(loader="fails")
        status, output, calls = self.run_setup(machine)
        self.assertNotEqual(status, 0, output)
        self.assertIn("error while loading shared libraries", output)
        self.assertIn("nothing was registered", output)
        self.assertEqual(machine.read("register"), "")
        self.assertNotIn("qemu", calls)

    def test_refusing_kernel_gets_the_emulator_registered(self):
        machine = self.machine(loader="refused")
        status, output, _ = self.run_setup(machine)
        self.assertEqual(status, 0, output)
        registration = machine.read("register")
        self.assertTrue(registration.startswith(r":qemu-i386:M::\x7fELF\x01\x01\x01"), registration)
        self.assertTrue(registration.endswith("/qemu-i386-static:F"), registration)

    def test_a_disabled_entry_is_enabled_not_registered_again(self):
        machine = self.machine(entries={"qemu-i386": I386.replace("enabled", "disabled", 1)}, loader="refused")
        status, output, _ = self.run_setup(machine)
        self.assertEqual(status, 0, output)
        self.assertEqual(machine.read("qemu-i386"), "1")
        self.assertEqual(machine.read("register"), "")
        self.assertIn("enabled the existing entry", output)

    def test_a_mount_that_fails_is_one_line_and_set_up_goes_on(self):
        machine = self.machine(status=None, loader="refused")
        status, output, calls = self.run_setup(machine, mount_works=False)
        self.assertEqual(status, 0, output)
        said = [line for line in output.splitlines() if "cannot be mounted" in line]
        self.assertEqual(len(said), 1, output)
        self.assertIn("mount -t binfmt_misc", calls)
        self.assertIn("setup: done", output)


if __name__ == "__main__":
    unittest.main(verbosity=2)
