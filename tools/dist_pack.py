#!/usr/bin/env python3
"""Writes the release zip of tools/dist.sh.

    dist_pack.py --repository DIR --version V --epoch SECONDS --out ZIP
                 ARCHIVE_PATH=FILE...

Adds README.txt (from tools/dist_readme.txt, with the exit codes from the
README's table), COPYRIGHT.txt (the terms the programs state), LICENSE.txt
(when the repository has a LICENSE) and SHA256SUMS (every other file). The
zip is the same bytes for the same inputs: entries in name order, every
entry dated SOURCE_DATE_EPOCH (as UTC), one set of permissions, one
compression level. ZIP is written completely or not at all.
"""

import argparse
import hashlib
import os
import re
import sys
import tempfile
import textwrap
import time
import zipfile

# The earliest date a zip entry can hold.
ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC


def exit_code_lines(readme_md):
    """The README's exit code table as plain text lines."""
    lines = []
    in_table = False
    for line in readme_md.splitlines():
        if line.startswith("| Exit code |"):
            in_table = True
            continue
        if not in_table:
            continue
        if not line.startswith("|"):
            break
        cells = [cell.strip() for cell in line.strip("|").split("|")]
        if len(cells) != 2 or set(cells[0]) <= set("-: "):
            continue
        code, meaning = cells[0], cells[1].replace("`", "")
        lines += textwrap.wrap(meaning, width=76, initial_indent="  %2s  " % code,
                               subsequent_indent="      ")
    if not lines:
        sys.exit("dist_pack: README.md has no exit code table")
    return lines


def copyright_notice(repository):
    """The notice every report prints in its second line."""
    with open(os.path.join(repository, "src/report/report_driver.cpp"), encoding="utf-8") as f:
        match = re.search(r'kCopyrightNotice\[\] = u"([^"]+)"', f.read())
    if not match:
        sys.exit("dist_pack: no copyright notice in src/report/report_driver.cpp")
    return match.group(1)


def text_file(lines):
    """Windows line ends, for Notepad and its kin."""
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def readme(repository, version, names):
    with open(os.path.join(repository, "README.md"), encoding="utf-8") as f:
        codes = exit_code_lines(f.read())
    with open(os.path.join(repository, "tools/dist_readme.txt"), encoding="utf-8") as f:
        template = f.read().splitlines()
    has_pen = any(name.endswith("/padscope-pen.exe") for name in names)
    lines = []
    for line in template:
        if line.startswith("@PEN@"):
            if has_pen:
                lines.append(line[len("@PEN@"):])
        elif line == "@EXIT_CODES@":
            lines += codes
        else:
            lines.append(line.replace("@VERSION@", version))
    return text_file(lines)


def zip_entry(name, date_time):
    info = zipfile.ZipInfo(name, date_time)
    info.create_system = 3  # permissions in the Unix form, the same from every host
    info.external_attr = 0o100644 << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repository", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--epoch", required=True, type=int)
    parser.add_argument("--out", required=True)
    parser.add_argument("files", nargs="+", metavar="ARCHIVE_PATH=FILE")
    args = parser.parse_args()

    contents = {}
    for pair in args.files:
        name, _, path = pair.partition("=")
        with open(path, "rb") as f:
            contents[name] = f.read()
    contents["README.txt"] = readme(args.repository, args.version, contents)
    contents["COPYRIGHT.txt"] = text_file([
        "PADSCOPE " + args.version,
        copyright_notice(args.repository),
    ])
    license_path = os.path.join(args.repository, "LICENSE")
    if os.path.exists(license_path):
        with open(license_path, "rb") as f:
            contents["LICENSE.txt"] = f.read()
    contents["SHA256SUMS"] = "".join(
        "%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
        for name, data in sorted(contents.items())).encode("ascii")

    date_time = time.gmtime(max(args.epoch, ZIP_EPOCH))[:6]
    folder = os.path.dirname(os.path.abspath(args.out))
    os.makedirs(folder, exist_ok=True)
    handle, temporary = tempfile.mkstemp(dir=folder, suffix=".zip.part")
    try:
        with os.fdopen(handle, "wb") as raw, zipfile.ZipFile(raw, "w") as archive:
            for name in sorted(contents):
                archive.writestr(zip_entry(name, date_time), contents[name], compresslevel=9)
        os.chmod(temporary, 0o644)
        os.replace(temporary, args.out)
    except BaseException:
        os.unlink(temporary)
        raise


if __name__ == "__main__":
    main()
