#!/usr/bin/env python3
"""One line per entry of a zip, in the archive's order:
NAME SHA256 DATE MODE (DATE as YYYY-MM-DDTHH:MM:SS, MODE the octal Unix
mode kept in the entry)."""

import hashlib
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as archive:
    for info in archive.infolist():
        digest = hashlib.sha256(archive.read(info)).hexdigest()
        date = "%04d-%02d-%02dT%02d:%02d:%02d" % info.date_time
        print(info.filename, digest, date, "%o" % (info.external_attr >> 16))
