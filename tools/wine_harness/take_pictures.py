#!/usr/bin/env python3
"""Pictures of dsn-restore's boxes, taken from the Xvfb display during a run
on the sample DSNs: the confirmation, a failure and the summary.

usage: take_pictures.py BUILD_DIR OUTPUT_DIR   (the windows-x64 build)"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from sample_registry import sample_keys  # noqa: E402
from wine_session import WineSession  # noqa: E402


def main():
    build_dir, output_dir = sys.argv[1], sys.argv[2]
    with WineSession(build_dir) as session, tempfile.TemporaryDirectory() as shots:
        session.import_keys(sample_keys())
        _, boxes = session.run_answering_boxes(os.path.join(build_dir, "dsn_restore", "dsn-restore.exe"), ["yes"],
                                               pictures_dir=shots)
        names = {0: "confirmation", len(boxes) - 1: "summary"}
        failures = [i for i, box in enumerate(boxes) if 0 < i < len(boxes) - 1]
        if failures:
            names[failures[0]] = "failure"
        os.makedirs(output_dir, exist_ok=True)
        for index, name in names.items():
            shutil.copy(os.path.join(shots, f"box-{index + 1}.png"), os.path.join(output_dir, f"{name}.png"))
            print(f"{name}.png: [{boxes[index].caption}] {boxes[index].text.strip()}")


if __name__ == "__main__":
    main()
