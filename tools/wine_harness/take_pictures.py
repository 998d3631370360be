#!/usr/bin/env python3
"""Pictures for the README, taken from the Xvfb display: dsn-restore's boxes
during a run on the sample DSNs (the confirmation, a failure and the summary),
and cache-access-check's console window when its cache folder is missing,
started from C:\\Tools as a user would start it.

usage: take_pictures.py BUILD_DIR OUTPUT_DIR
  BUILD_DIR  the build whose executables run (windows-x86 or windows-x64)"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sample_registry import sample_keys  # noqa: E402
from wine_session import WineSession, helpers_of, pe_is_32_bit  # noqa: E402

TOOLS = "C:\\Tools"


def console_picture(session, exe, output):
    """cache-access-check in a console window of Wine's own (wineconsole),
    copied to C:\\Tools and started there, so its title names that folder."""
    # 118 columns, 20 rows: each line of the check fits on one row, and the
    # window on the 1024-pixel screen.
    for name, value in (("WindowSize", "0x00140076"), ("ScreenBufferSize", "0x012c0076")):
        session.set_value(r"HKCU\Console", name, value, "REG_DWORD")
    tools = session.unix_path(TOOLS)
    os.makedirs(tools, exist_ok=True)
    shutil.copy(exe, tools)
    program = session.start(["wineconsole", TOOLS + "\\" + os.path.basename(exe)], cwd=tools)
    try:
        title = session.picture_of_window(os.path.basename(exe), output)
    finally:
        program.kill()
        program.wait()
    print(f"{os.path.basename(output)}: the console window \"{title}\"")


def main():
    build_dir, output_dir = sys.argv[1], sys.argv[2]
    restore = os.path.join(build_dir, "dsn_restore", "dsn-restore.exe")
    os.makedirs(output_dir, exist_ok=True)
    with WineSession(helpers_of(build_dir)) as session, tempfile.TemporaryDirectory() as shots:
        session.import_keys(sample_keys(pe_is_32_bit(restore)))
        _, boxes = session.run_answering_boxes(restore, ["yes"], pictures_dir=shots)
        names = {0: "confirmation", len(boxes) - 1: "summary"}
        failures = [i for i, box in enumerate(boxes) if 0 < i < len(boxes) - 1]
        if failures:
            names[failures[0]] = "failure"
        for index, name in names.items():
            shutil.copy(os.path.join(shots, f"box-{index + 1}.png"), os.path.join(output_dir, f"{name}.png"))
            print(f"{name}.png: [{boxes[index].caption}] {boxes[index].text.strip()}")
        console_picture(session, os.path.join(build_dir, "cache_access_check", "cache-access-check.exe"),
                        os.path.join(output_dir, "console.png"))


if __name__ == "__main__":
    main()
