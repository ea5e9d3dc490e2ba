#!/usr/bin/env python3
"""Counts, for one fixture image and its manifest, how the program and `fls -r -d -p` show the
manifest's deleted files: in their true folder under their true name, elsewhere (a lost folder or
$OrphanFiles, or a wrong name), or not at all.

Usage: compare_deleted.py BREVANT_CLI IMAGE MANIFEST.json"""

import json
import os
import subprocess
import sys


def norm(path):
    return path.replace("\\", "/").strip("/")


def main():
    cli, image, manifest = sys.argv[1:4]
    entries = [e for v in json.load(open(manifest))["volumes"] for e in v["entries"]
               if e["deleted"] and e["type"] == "file"]
    out = subprocess.run([cli, "scan", "--deleted-only", "--json", image], capture_output=True, text=True).stdout
    ours = []
    for line in out.splitlines():
        r = json.loads(line)
        if r["kind"] == "f" and r["condition"] == "Deleted":
            path = norm(r["path"])
            ours.append((path.split("/", 1)[1] if "/" in path else path, r["size"]))
    fls = []
    for line in subprocess.run(["fls", "-r", "-d", "-p", image], capture_output=True, text=True).stdout.splitlines():
        kind, _, rest = line.partition(" * ")
        if "/r" in kind:
            name = rest.split("\t", 1)[1] if "\t" in rest else rest
            fls.append((name, None))

    def tally(found):
        paths = {p for p, _ in found}
        def same(p, e):
            if p == e["path"]:
                return True
            # A deleted 8.3 name has lost its first character; the rest and the folder must match.
            return (e.get("name_first_char_lost") and os.path.dirname(p) == os.path.dirname(e["path"]) and
                    os.path.basename(p)[1:] == os.path.basename(e["path"])[1:])
        true = sum(1 for e in entries if any(same(p, e) for p in paths))
        return len(found), true, max(0, min(len(entries), len(found)) - true), max(0, len(entries) - len(found))

    print(f"{image}: {len(entries)} deleted files in the manifest")
    for label, found in (("program", ours), ("fls -r -d", fls)):
        listed, true, elsewhere, missing = tally(found)
        print(f"  {label:10} listed {listed:5}  true folder+name {true:5}  elsewhere {elsewhere:5}  not found {missing:5}")


if __name__ == "__main__":
    main()
