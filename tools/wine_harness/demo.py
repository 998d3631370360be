#!/usr/bin/env python3
"""The tools' main job on sample data, under Wine: dsn-restore restores the
sample DSNs (answering Yes, then OK to every box), then cache-access-check
checks its folders. Prints every box shown and the DSN keys before and after.

usage: demo.py BUILD_DIR
  BUILD_DIR  the build whose executables run (windows-x86 or windows-x64)"""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sample_registry import sample_keys  # noqa: E402
from wine_session import HKCU, HKLM, WineSession, helpers_of, odbc_tree, pe_is_32_bit  # noqa: E402


def show_keys(session, title, is_32_bit):
    print(f"--- {title}")
    for root in (HKCU, HKLM):
        for path, values in sorted(session.export_keys(odbc_tree(root, is_32_bit)).items()):
            print(f"[{path}]")
            for name, (kind, data) in sorted(values.items()):
                print(f"    {name or '(default)'} = {data!r}" + ("" if kind == "REG_SZ" else f" ({kind})"))
    print()


def main():
    build_dir = sys.argv[1]
    restore = os.path.join(build_dir, "dsn_restore", "dsn-restore.exe")
    is_32_bit = pe_is_32_bit(restore)
    with WineSession(helpers_of(build_dir)) as session:
        session.import_keys(sample_keys(is_32_bit))
        show_keys(session, "DSN keys before the restore", is_32_bit)

        print("--- dsn-restore.exe, answered as a user would (Yes, then OK)")
        status, boxes = session.run_answering_boxes(restore, ["yes"])
        for box in boxes:
            print(f"[{box.caption}] {box.text.strip()}   ({' / '.join(box.buttons)}: {box.answer})")
        print(f"exit status {status}\n")
        show_keys(session, "DSN keys after the restore", is_32_bit)

        print("--- cache-access-check.exe, in a fresh folder, with the cache folder in place")
        os.makedirs(session.cache_folder()[1], exist_ok=True)
        with tempfile.TemporaryDirectory() as folder:
            status, output = session.run_console(
                os.path.join(build_dir, "cache_access_check", "cache-access-check.exe"), folder)
        print(output.decode("utf-8", errors="replace").replace("\r\n", "\n"), end="")
        print(f"exit status {status}")


if __name__ == "__main__":
    main()
