#!/usr/bin/env python3
"""The report that PADSCOPE must show for a library, derived from the raw
answers that wintab_prober.exe recorded, by the report's own layout rules,
independently of the program's code. The machine's own values are the
placeholders of tests/driver/report_normalizer.h.

  expected_report.py render RAW [--no-null-buffer] [--override-counts]
                                [--no-context-device] [--ignore-probe]
      the expected report (UTF-8, CR LF, as the normalizer leaves it)
  expected_report.py mask LABEL[,LABEL...] < REPORT
      the report with the value of every row of those labels replaced by
      <uninitialised>: only the label and the size echoes are kept
  expected_report.py varying RAW1 RAW2
      the labels of the items whose answers differ between two recordings
"""
import os
import struct
import sys

# 32-bit Wine runs the x86 edition (in the emulated x86 machine).
ARCH = "x86" if os.environ.get("PADSCOPE_WINE_ARCH") == "win32" else "x64"
VERSION = "2.6.1.0"
BUFFER_BYTES = 131072

INTERFACE_ROWS = [("IFC_WINTABID", 1, "text"), ("IFC_SPECVERSION", 2, "version"),
                  ("IFC_IMPLVERSION", 3, "version"), ("IFC_NDEVICES", 4, "uint"),
                  ("IFC_NCURSORS", 5, "uint"), ("IFC_NCONTEXTS", 6, "uint")]
DEVICE_ROWS = [("DVC_NAME", 1, "text"), ("DVC_HARDWARE", 2, "hardware"), ("DVC_PKTRATE", 5, "uint"),
               ("DVC_PKTDATA", 6, "wtpkt"), ("DVC_CSRDATA", 8, "wtpkt"), ("DVC_X", 12, "axis"),
               ("DVC_Y", 13, "axis"), ("DVC_Z", 14, "axis"), ("DVC_NPRESSURE", 15, "axis"),
               ("DVC_TPRESSURE", 16, "axis"), ("DVC_ORIENTATION", 17, "orientation"),
               ("DVC_PNPID", 19, "text")]
CURSOR_ROWS = [("CSR_NAME", "text"), ("CSR_ACTIVE", "bool"), ("CSR_PKTDATA", "wtpkt"),
               ("CSR_BUTTONS", "byte"), ("CSR_BUTTONBITS", "byte"), ("CSR_BTNNAMES", "opaque"),
               ("CSR_BUTTONMAP", "opaque"), ("CSR_SYSBTNMAP", "opaque"), ("CSR_NPBUTTON", "byte"),
               ("CSR_NPBTNMARKS", "opaque"), ("CSR_NPRESPONSE", "array"), ("CSR_TPBUTTON", "byte"),
               ("CSR_TPBTNMARKS", "opaque"), ("CSR_TPRESPONSE", "array"), ("CSR_PHYSID", "uint"),
               ("CSR_MODE", "uint"), ("CSR_MINPKTDATA", "uint"), ("CSR_MINBUTTONS", "uint"),
               ("CSR_CAPABILITIES", "capabilities")]

WTPKT = [(0x0001, "CONTEXT"), (0x0002, "STATUS"), (0x0004, "TIME"), (0x0008, "CHANGED"),
         (0x0010, "SERIAL_NUMBER"), (0x0020, "CURSOR"), (0x0040, "BUTTONS"), (0x0080, "X"), (0x0100, "Y"),
         (0x0200, "Z"), (0x0400, "NORMAL_PRESSURE"), (0x0800, "TANGENT_PRESSURE"), (0x1000, "ORIENTATION"),
         (0x2000, "ROTATION")]
HARDWARE = [(0x0001, "INTEGRATED"), (0x0002, "TOUCH"), (0x0004, "HARDPROX"), (0x0008, "PHYSID_CURSORS")]
CAPABILITIES = [(0x0001, "MULTIMODE"), (0x0002, "AGGREGATE"), (0x0004, "INVERT")]
OPTIONS = [(0x0001, "SYSTEM"), (0x0002, "PEN"), (0x0004, "MESSAGES"), (0x8000, "MARGIN"),
           (0x4000, "MGNINSIDE"), (0x0008, "CSRMESSAGES")]
STATUS = [(0x0001, "DISABLED"), (0x0002, "OBSCURED"), (0x0004, "ONTOP")]
LOCKS = [(0x0001, "INSIZE"), (0x0002, "INASPECT"), (0x0008, "MARGIN"), (0x0004, "SENSITIVITY"),
         (0x0010, "SYSOUT")]
UNITS = ["NONE", "INCHES", "CENTIMETERS", "CIRCLE"]

# LOGCONTEXTW after its 40-unit name: (field, how it is shown), 4 bytes each.
CONTEXT_FIELDS = [("lcOptions", OPTIONS), ("lcStatus", STATUS), ("lcLocks", LOCKS), ("lcMsgBase", "u"),
                  ("lcDevice", "u"), ("lcPktRate", "u"), ("lcPktData", WTPKT), ("lcPktMode", WTPKT),
                  ("lcMoveMask", WTPKT), ("lcBtnDnMask", "hex"), ("lcBtnUpMask", "hex")] + \
                 [(name, "d") for name in ("lcInOrgX", "lcInOrgY", "lcInOrgZ", "lcInExtX", "lcInExtY",
                                           "lcInExtZ", "lcOutOrgX", "lcOutOrgY", "lcOutOrgZ", "lcOutExtX",
                                           "lcOutExtY", "lcOutExtZ")] + \
                 [("lcSensX", "fix"), ("lcSensY", "fix"), ("lcSensZ", "fix"), ("lcSysMode", "bool")] + \
                 [(name, "d") for name in ("lcSysOrgX", "lcSysOrgY", "lcSysExtX", "lcSysExtY")] + \
                 [("lcSysSensX", "fix"), ("lcSysSensY", "fix")]


def read_raw(path):
    """probe count, {(category, index): (probe, real, bytes)}, version strings, entry points."""
    probe, items, versions, entries, released = None, {}, [], {}, "succeeded"
    with open(path, encoding="utf-8") as raw:
        for line in raw:
            words = line.rstrip("\r\n").split(" ", 5)
            if words[0] == "probe":
                probe = int(words[1])
            elif words[0] == "item":
                items[(int(words[1]), int(words[2]))] = (int(words[3]), int(words[4]), bytes.fromhex(words[5]))
            elif words[0] == "version":
                versions.append((words[1], " ".join(words[2:])))
            elif words[0] == "entry":
                entries[words[1]] = words[2] == "1"
            elif words[0] == "release":
                released = words[1]
            elif words[0] == "error":
                sys.exit("the prober could not use the library: " + line.strip())
    return probe, items, versions, entries, released


def u32(data, offset=0):
    return struct.unpack_from("<I", data, offset)[0]


def s32(data, offset=0):
    return struct.unpack_from("<i", data, offset)[0]


def utf16_text(data, offset=0, units=None):
    end = offset
    limit = len(data) if units is None else offset + 2 * units
    while end + 1 < limit and (data[end] or data[end + 1]):
        end += 2
    return data[offset:end].decode("utf-16-le", errors="surrogatepass")


def flags(value, names):
    return "0x%08x [ %s]" % (value, "".join(name + " " for bit, name in names if value & bit))


def fix32(value):
    fraction = "%016d" % ((value & 0xFFFF) * 152587890625)
    return "%u.%s" % (value >> 16, fraction.rstrip("0") or "0")


def fix32_display(value):
    # "%#08x": the 0x counts towards the width of 8.
    return "0x%s [%s]" % (format(value, "x").rjust(6, "0"), fix32(value))


def axis(data, offset=0):
    units = u32(data, offset + 8)
    name = UNITS[units] if units < len(UNITS) else "???"
    return "{min=%d;max=%d;units=%u [%s];res=%s}" % (s32(data, offset), s32(data, offset + 4), units, name,
                                                     fix32_display(u32(data, offset + 12)))


def sized(size, expected, render):
    if size == 0:
        return ""
    if size != expected:
        return "<invalid buffer length: expected %u>" % expected
    return render()


def render_value(kind, size, data):
    if kind in ("text", "opaque"):
        if size == 0:
            return ""
        return '"%s"' % utf16_text(data) if kind == "text" else "<display not impl>"
    if kind == "array":
        if size == 0:
            return ""
        if size % 4:
            return "<invalid buffer length: %u (expected multiple of UINT)>" % size
        if size // 4 > 256:
            return "<invalid buffer length: %u (expected less than sizeof(UINT)*256)>" % size
        return "[%3u]" % (size // 4) + "".join(" %u" % u32(data, 4 * k) for k in range(size // 4))
    if kind == "orientation":
        return sized(size, 48, lambda: "{\r\n" + "".join("  " + axis(data, 16 * k) + "\r\n" for k in range(3)) + "}")
    renderers = {
        "version": (2, lambda: "%u.%u" % (data[1], data[0])),
        "uint": (4, lambda: "%u [0x%08x]" % (u32(data), u32(data))),
        "byte": (1, lambda: "%u [0x%02x]" % (data[0], data[0])),
        "bool": (4, lambda: "TRUE" if u32(data) else "FALSE"),
        "hardware": (4, lambda: flags(u32(data), HARDWARE)),
        "capabilities": (4, lambda: flags(u32(data), CAPABILITIES)),
        "wtpkt": (4, lambda: flags(u32(data), WTPKT)),
        "axis": (16, lambda: axis(data)),
    }
    expected, render = renderers[kind]
    return sized(size, expected, render)


def context(size, data):
    """The context dump and the device it names (0 unless a whole record)."""
    if size != 212:
        return sized(size, 212, None), 0
    lines = ["{", "\r\n  %-13s %s" % ("lcName", '"%s"' % utf16_text(data, 0, 40))]
    for k, (name, how) in enumerate(CONTEXT_FIELDS):
        value = u32(data, 80 + 4 * k)
        if isinstance(how, list):
            shown = flags(value, how)
        else:
            shown = {"u": lambda: "%u" % value, "d": lambda: "%d" % s32(data, 80 + 4 * k),
                     "hex": lambda: "0x%08x" % value, "fix": lambda: fix32_display(value),
                     "bool": lambda: "TRUE" if value else "FALSE"}[how]()
        lines.append("\r\n  %-13s %s" % (name, shown))
    return "".join(lines) + "\r\n", u32(data, 96)


class Report:
    def __init__(self, raw, options):
        self.probe, self.items, self.versions, self.entries, self.released = raw
        self.options = options
        self.text = []

    def append(self, text):
        self.text.append(text)

    def label(self, name):
        self.append("\r\n%-30s " % name)

    def query(self, category, index):
        """Appends the size echoes; returns the size that stays and the buffer."""
        if (category, index) not in self.items:
            sys.exit("the raw answers lack category %u index %u" % (category, index))
        probe, real, data = self.items[(category, index)]
        data = data.ljust(BUFFER_BYTES, b"\0")
        if "--no-null-buffer" not in self.options:
            self.append("{%3u} " % probe)
            if probe == 0:
                return 0, bytes(BUFFER_BYTES)
        self.append("{%3u} " % real)
        return real, data

    def row(self, name, category, index, kind):
        self.label(name)
        size, data = self.query(category, index)
        self.append(render_value(kind, size, data))
        return size, data

    def device(self, n):
        self.append("\r\n\r\nWTI_DEVICE+%u" % n)
        for name, index, kind in DEVICE_ROWS:
            self.row(name, 100 + n, index, kind)

    def cursor(self, n):
        self.append("\r\n\r\nWTI_CURSOR+%u" % n)
        for index, (name, kind) in enumerate(CURSOR_ROWS, start=1):
            self.row(name, 200 + n, index, kind)

    def render(self):
        self.append("PADSCOPE %s - %s\r\n<COPYRIGHT>\r\n\r\n" % (ARCH, VERSION))
        self.label("OS Version")
        self.append("<OS-VERSION>\r\n")
        self.label('LoadLibrary("WINTAB32.DLL")')
        self.append("<ADDRESS>")
        self.label("GetModuleFileNameW()")
        self.append('"<PATH>"')
        for key, value in self.versions:
            self.label(key)
            self.append(value)
        self.append("\r\n")
        for export in ("WTInfoW", "WTOpenW", "WTClose", "WTEnable", "WTPacketsGet"):
            self.label(export + "()")
            self.append("<ADDRESS>" if self.entries.get(export, False) else "<NULL>")
        self.append("\r\n")
        if not self.entries.get("WTInfoW", False):
            self.append("Error: WTInfoW() not found\r\n")
        else:
            self.label("WTInfoW(0,0,0)")
            self.append("{%3u} \r\n" % self.probe)
            if self.probe != 0 or "--ignore-probe" in self.options:
                self.tablet()
        self.append("\r\n")
        self.label("FreeLibrary()")
        self.append(self.released)
        self.append("\r\n")  # the end of the test
        return "".join(self.text)

    def tablet(self):
        self.append("\r\nWTI_INTERFACE")
        counts = {}
        for name, index, kind in INTERFACE_ROWS:
            size, data = self.row(name, 1, index, kind)
            counts[index] = u32(data) if size else 0
        devices, cursors = counts[4], counts[5]
        self.append("\r\n\r\nWTI_DEFCONTEXT")
        self.label("(0)")
        self.append(context(*self.query(3, 0))[0] + "\r\n")
        self.append("WTI_DEFSYSCTX")
        self.label("(0)")
        dump, context_device = context(*self.query(4, 0))
        self.append(dump + "\r\n")
        override = "--override-counts" in self.options
        if devices == 0 and override:
            self.append("\r\n*** OVERRIDING IFC_NDEVICES ***")
            devices = 1
        for n in range(devices):
            self.device(n)
        if "--no-context-device" not in self.options and context_device >= devices:
            self.append("\r\n*** OVERRIDE for WTI_DEFSYSCTX::lcDevice ***")
            self.device(context_device)
        self.append("\r\n")
        if cursors == 0 and override:
            self.append("\r\n*** OVERRIDING IFC_NCURSORS ***")
            cursors = 1
        for n in range(cursors):
            self.cursor(n)


def item_label(category, index):
    if category == 1:
        return dict((i, name) for name, i, _ in INTERFACE_ROWS)[index]
    if category in (3, 4):
        return "WTI_DEFCONTEXT" if category == 3 else "WTI_DEFSYSCTX"
    if 100 <= category < 200:
        return dict((i, name) for name, i, _ in DEVICE_ROWS)[index]
    return CURSOR_ROWS[index - 1][0]


def mask(labels):
    text = sys.stdin.buffer.read().decode("utf-8")
    out = []
    for line in text.split("\r\n"):
        name = line[:30].rstrip()
        if name in labels and line[30:31] == " ":
            rest, echoes = line[31:], ""
            while rest.startswith("{") and "} " in rest:
                echo, rest = rest.split("} ", 1)
                echoes += echo + "} "
            line = line[:31] + echoes + ("<uninitialised>" if rest else "")
        out.append(line)
    sys.stdout.buffer.write("\r\n".join(out).encode("utf-8"))


def main(argv):
    if len(argv) >= 2 and argv[0] == "render":
        sys.stdout.buffer.write(Report(read_raw(argv[1]), set(argv[2:])).render().encode("utf-8"))
    elif len(argv) == 2 and argv[0] == "mask":
        mask(set(argv[1].split(",")))
    elif len(argv) == 3 and argv[0] == "varying":
        first, second = read_raw(argv[1])[1], read_raw(argv[2])[1]
        differing = {item_label(*key) for key in first.keys() | second.keys() if first.get(key) != second.get(key)}
        print(" ".join(sorted(differing)))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
