#!/usr/bin/env python3
"""Pictures for the README, taken from the Xvfb display: dsn-restore's boxes
during a run on the sample DSNs (the confirmation, a failure and the summary),
and cache-access-check's console window when its cache folder is missing.

usage: take_pictures.py BUILD_DIR HELPERS_BUILD_DIR OUTPUT_DIR
  BUILD_DIR          the build whose executables run (windows-x86 or windows-x64)
  HELPERS_BUILD_DIR  the windows-x64 build, which holds box-driver.exe"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bitmap_to_png import bitmap_to_png  # noqa: E402
from sample_registry import sample_keys  # noqa: E402
from wine_session import WineSession, pe_is_32_bit  # noqa: E402


def console_picture(session, exe, output):
    """cache-access-check in a console window of Wine's own (wineconsole)."""
    # 118 columns, 20 rows: each line of the check fits on one row, and the
    # window on the 1024-pixel screen.
    for name, value in (("WindowSize", "0x00140076"), ("ScreenBufferSize", "0x012c0076")):
        session.run_wine(["reg", "add", r"HKCU\Console", "/v", name, "/t", "REG_DWORD", "/d", value, "/f"])
    bmp = os.path.join(session.root, "console.bmp")
    with tempfile.TemporaryDirectory() as folder:
        program = subprocess.Popen([session.wine, "wineconsole", exe], env=session.env, cwd=folder,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            title = session.run_wine([session.box_driver, "--picture-window", os.path.basename(exe),
                                      session.windows_path(bmp)], timeout=900).stdout.decode().strip()
        finally:
            program.kill()
            program.wait()
    bitmap_to_png(bmp, output)
    print(f"{os.path.basename(output)}: the console window \"{title}\"")


def main():
    build_dir, helpers, output_dir = sys.argv[1], sys.argv[2], sys.argv[3]
    restore = os.path.join(build_dir, "dsn_restore", "dsn-restore.exe")
    os.makedirs(output_dir, exist_ok=True)
    with WineSession(helpers) as session, tempfile.TemporaryDirectory() as shots:
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
