#!/usr/bin/env python3
"""Writes the release's software bill of materials, sbom.cdx.json (CycloneDX
1.5, JSON).

components: the two executables as shipped (with their SHA-256), yyjson
(its version, its licence as its LICENSE names it, and the SHA-256 of the
source tarball that was checked), and the Debian packages whose files were
linked into them (the mingw-w64 runtime, GCC's runtime libraries), as
build_inputs.py finds them. dependencies: which image holds which.
formulation: what built them, the compilers, binutils and the rest, with
their Debian package versions.

The same inputs give the same bytes: the time is the commit's (an argument),
and the serial number is a name-based UUID of the document's content."""
import argparse
import hashlib
import json
import os
import uuid

import build_inputs

PRODUCT = "halvernik-tools"
SERIAL_NAMESPACE = uuid.uuid5(uuid.NAMESPACE_URL, "urn:halvernik-tools:sbom")
# SPDX identifiers of the licence texts that the first line of a LICENSE names.
SPDX_BY_TITLE = {"MIT License": "MIT"}


def sha256(path):
    with open(path, "rb") as data:
        return hashlib.sha256(data.read()).hexdigest()


def package_component(package, ref, properties):
    return {
        "type": "library" if ref == package.purl else "application",
        "bom-ref": ref,
        "name": package.name,
        "version": package.version,
        "description": package.summary,
        "purl": package.purl,
        "properties": [{"name": name, "value": value} for name, value in properties],
    }


def main():
    parser = argparse.ArgumentParser()
    for option in ("out", "version", "build-dir", "yyjson-version", "yyjson-source", "yyjson-tarball", "timestamp"):
        parser.add_argument(f"--{option}", required=True)
    parser.add_argument("--image", action="append", required=True, help="SHIPPED_FILE=LINK_MAP")
    args = parser.parse_args()
    images = dict(entry.split("=", 1) for entry in args.image)
    names = {path: os.path.basename(path) for path in images}
    packages, yyjson_images = build_inputs.linked_parts({names[p]: m for p, m in images.items()}, args.build_dir)

    components = []
    for path in images:
        components.append({
            "type": "application",
            "bom-ref": names[path],
            "name": names[path],
            "version": args.version,
            "hashes": [{"alg": "SHA-256", "content": sha256(path)}],
        })
    yyjson_ref = f"yyjson@{args.yyjson_version}"
    with open(os.path.join(args.yyjson_source, "LICENSE"), encoding="utf-8") as text:
        title = text.readline().strip()
    licence = {"id": SPDX_BY_TITLE[title]} if title in SPDX_BY_TITLE else {"name": title}
    components.append({
        "type": "library",
        "bom-ref": yyjson_ref,
        "name": "yyjson",
        "version": args.yyjson_version,
        "licenses": [{"license": licence}],
        "hashes": [{"alg": "SHA-256", "content": sha256(args.yyjson_tarball)}],
        "purl": f"pkg:github/ibireme/yyjson@{args.yyjson_version}",
        "properties": [{"name": "halvernik:source-tarball", "value": os.path.basename(args.yyjson_tarball)}],
    })
    holds = {names[path]: [yyjson_ref] if names[path] in yyjson_images else [] for path in images}
    for package, files, in_images in packages:
        components.append(package_component(package, package.purl, [("halvernik:linked-from", path)
                                                                     for path in files]))
        for image in in_images:
            holds[image].append(package.purl)

    tools = [package_component(package, f"build:{package.purl}", [("halvernik:provided", what)
                                                                  for what in provided])
             for package, provided in build_inputs.build_tools(args.build_dir)]
    bom = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "version": 1,
        "metadata": {
            "timestamp": args.timestamp,
            "component": {
                "type": "application",
                "bom-ref": PRODUCT,
                "name": PRODUCT,
                "version": args.version,
                "description": "Halvernik ODBC Driver maintenance tools",
                "supplier": {"name": "Halvernik"},
            },
        },
        "components": components,
        "dependencies": [{"ref": PRODUCT, "dependsOn": [names[path] for path in images]}] +
                        [{"ref": image, "dependsOn": refs} for image, refs in holds.items()],
        "formulation": [{"bom-ref": "build", "components": tools}],
    }
    content = json.dumps(bom, indent=2, sort_keys=False)
    bom = {"bomFormat": bom.pop("bomFormat"), "specVersion": bom.pop("specVersion"),
           "serialNumber": f"urn:uuid:{uuid.uuid5(SERIAL_NAMESPACE, content)}", **bom}
    with open(args.out, "w", encoding="utf-8", newline="\n") as out:
        out.write(json.dumps(bom, indent=2) + "\n")


if __name__ == "__main__":
    try:
        main()
    except build_inputs.UnknownInput as error:
        raise SystemExit(f"bill of materials: {error}")
