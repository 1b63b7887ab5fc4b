#!/usr/bin/env python3
"""Checks one `padscope-report --json` document against the text report it
carries and the process's exit status, with rules of its own: every call's
counts are the size echoes "{%3u} " of its row, every row stands in its
section, a fault reads "<exception>", the ending is how the text ends.

    check_json.py DOCUMENT EXIT_STATUS REPORT_OUT [TEXT_RUN TEXT_REPORT_OUT]

Writes the document's report text to REPORT_OUT (UTF-8, as padscope-report
writes it) so that the caller can compare it with a text run. With
TEXT_RUN (the output of the same run without --json, with --diagnose or
--pen) the document's findings and pen check must be the text's: each
finding's line, every packet's columns, the packets read, how the reading
ended and the verdict; the text's report (what stands before the findings
and the pen check) goes to TEXT_REPORT_OUT. Prints one line per problem and
exits 1 when there is any.
"""
import json
import re
import sys

BUFFER_BYTES = 131072
ENDINGS = {"complete", "noLibrary", "noInfoEntry", "probeZero", "probeFaulted", "hung", "hardException"}
SEVERITY_ORDER = [1, 5, 6, 3, 4, 7, 9, 10, 8, 11, 12, 0]
EXIT_CODES = {"noLibrary": 3, "noInfoEntry": 3, "probeZero": 4, "probeFaulted": 7, "hung": 5, "hardException": 6}

problems = []


def problem(text):
    problems.append(text)


def row_start(label):
    return "\r\n" + label.ljust(30) + " "


def echoes_of(call):
    """The echoes a call's row shows: one per call that returned."""
    shown = []
    for phase in ("probe", "real"):
        outcome = call.get(phase)
        if outcome and outcome["outcome"] == "returned" and call["step"] in ("availability", "query"):
            shown.append(outcome["count"])
    return shown


def section_of(category):
    """The report section a category's rows stand in, by the Wintab numbering."""
    fixed = {1: "WTI_INTERFACE", 3: "WTI_DEFCONTEXT", 4: "WTI_DEFSYSCTX"}
    if category in fixed:
        return fixed[category]
    if 100 <= category < 200:
        return f"WTI_DEVICE+{category - 100}"
    if category >= 200:
        return f"WTI_CURSOR+{category - 200}"
    return None


HEADING = re.compile(r"\r\n(WTI_[A-Z]+(\+\d+)?)\r\n")


def section_span(report, section):
    """Where a section's rows stand: from its heading to the next heading;
    the availability row (no section) stands before the first heading."""
    if section is None:
        first = HEADING.search(report)
        return 0, first.start() if first else len(report)
    heading = report.find("\r\n" + section + "\r\n")
    if heading < 0:
        return None
    following = HEADING.search(report, heading + 2)
    return heading + 2, following.start() if following else len(report)


def check_call(call, report, ending, last, complete):
    label, text = call["row"], call["text"]
    where = f'{call.get("section") or ""} {label}'
    if call["step"] in ("availability", "query"):
        # Every question names its category, index and section, and the
        # section is the category's: no row is looked for anywhere else.
        if any(key not in call for key in ("category", "index", "section")):
            problem(f"{where}: category, index or section missing")
            return
        section = call["section"]
        expected = None if call["step"] == "availability" else section_of(call["category"])
        if call["step"] == "availability" and (call["category"], call["index"]) != (0, 0):
            problem(f"{where}: the availability question is not category 0, index 0")
        if section != expected:
            problem(f"{where}: section {section!r}, but category {call['category']} stands in {expected!r}")
        span = section_span(report, section)
        if text and (span is None or report.find(row_start(label) + text, max(span[0] - 2, 0), span[1]) < 0):
            problem(f"{where}: no row with the text {text!r} in its section")
        echoes = [int(n) for n in re.findall(r"\{ *(\d+)\} ", text)]
        if text and echoes[: len(echoes_of(call))] != echoes_of(call):
            problem(f"{where}: echoes {echoes} but the calls returned {echoes_of(call)}")
        real = call.get("real")
        if real and real["outcome"] == "returned":
            # Exactly the answer: its count, as far as the buffer holds it
            # (fewer only when the log had no room for them).
            kept, answer = len(call["bytes"]), 2 * min(real["count"], BUFFER_BYTES)
            if kept != answer and (complete or kept > answer):
                problem(f"{where}: {kept} hex digits for an answer of {real['count']} bytes")
            # What the library wrote past its count ends in a nonzero byte.
            past = call["pastCount"]
            if past is not None and (not past or past[-2:] == "00" or len(past) % 2):
                problem(f"{where}: pastCount {past!r} is not bytes ending in a nonzero one")
        elif call["step"] == "query" and call["pastCount"] is not None:
            problem(f"{where}: pastCount for a real call that did not return")
    outcomes = [call[p]["outcome"] for p in ("probe", "real") if call.get(p)]
    if "exception" in outcomes and text and not text.endswith("<exception>"):
        problem(f"{where}: a contained fault but the row reads {text!r}")
    for unreturned, marker in (("hung", "<hung>"), ("hardException", "<hard exception>")):
        if unreturned in outcomes:
            if not text.endswith(marker):
                problem(f"{where}: the call ended {unreturned} but its row reads {text!r}")
            if not last:
                problem(f"{where}: a call that never returned is not the last one")
            if ending != unreturned:
                problem(f"{where}: a call ended {unreturned} but the run ended {ending}")


SEVERITIES = ("problem", "warning", "note")
# How the text says the reading ended, by the document's "end".
READING_ENDS = {"timeUp": "the time was up", "stopped": "at Ctrl+C", "fault": "at the fault above",
                "brokenAnswer": "at the answer above", "windowClosed": "when its window was closed or Escape pressed"}
# The packet columns of the text, in order, by the document's names.
PACKET_COLUMNS = ("time", "cursor", "buttons", "x", "y", "normalPressure", "orientation")


def text_row(lines, label):
    for line in lines:
        if line.startswith(label.ljust(30) + " "):
            return line[31:]
    return None


def check_findings(findings, lines):
    """The text's "Diagnosis" section: one line per finding, severity,
    identifier and its sentence with its rows, then the counts."""
    if "Diagnosis" not in lines:
        problem("findings in the document, but the text run has no Diagnosis section")
        return
    shown = lines[lines.index("Diagnosis") + 1:]
    shown = [line for line in shown if line.split(" ", 1)[0] in SEVERITIES]
    if len(shown) != len(findings):
        problem(f"{len(findings)} findings, the text shows {len(shown)}")
    for finding, line in zip(findings, shown):
        text = finding["sentence"] + ("" if not finding["rows"] else " Rows: " + "; ".join(finding["rows"]) + ".")
        if finding["severity"] not in SEVERITIES or not finding["sentence"].endswith("."):
            problem(f"{finding['identifier']}: severity {finding['severity']!r}, sentence {finding['sentence']!r}")
        if line.split() [:2] != [finding["severity"], finding["identifier"]] or not line.endswith(" " + text):
            problem(f"finding {finding['identifier']}: the text shows {line!r}")


def check_pen(pen, lines):
    """The text's "PEN CHECK" section: the packet lines, the packets read,
    how the reading ended and the verdict."""
    if "PEN CHECK" not in lines:
        problem("a pen check in the document, but none in the text run")
        return
    shown = lines[lines.index("PEN CHECK"):]
    rows = [line.split() for line in shown if re.fullmatch(r" *\d+( +(0x[0-9a-f]{8}|-?\d+))* *", line)]
    packets = pen["packets"]
    if len(rows) != len(packets):
        problem(f"{len(packets)} packets, the text shows {len(rows)}")
    for number, (packet, row) in enumerate(zip(packets, rows)):
        values = []
        for name in PACKET_COLUMNS:
            if name == "buttons" and name in packet:
                values.append(f"0x{packet[name]:08x}")
            elif name == "orientation" and name in packet:
                values += [str(v) for v in packet[name]]
            elif name in packet:
                values.append(str(packet[name]))
        if values != row:
            problem(f"packet {number}: {values} in the document, {row} in the text")
    summary = pen["summary"]
    read = text_row(shown, "Packets read")
    if (summary is None) != (read is None) or (summary is not None and str(summary["packets"]) != read):
        problem(f"packets read: {summary and summary['packets']} in the document, {read} in the text")
    ends = [c["end"] for c in pen["calls"] if c["event"] == "readingEnded"]
    ended = text_row(shown, "Reading ended")
    if [READING_ENDS[e] for e in ends] != ([ended] if ended else []):
        problem(f"reading ended {ends} in the document, {ended!r} in the text")
    verdict = text_row(shown, "Verdict")
    if (pen["verdict"] in (None, "none")) != (verdict is None):
        problem(f"verdict {pen['verdict']!r} in the document, {verdict!r} in the text")


def check_text_run(document, text_path, text_report_out):
    with open(text_path, "rb") as file:
        text = file.read().decode("utf-8")
    lines = text.replace("\r\n", "\n").split("\n")
    # The report ends in CR LF; the findings start with an empty line, the
    # pen check with one of its own.
    ends = [text.find(marker) + skip for marker, skip in (("\r\nDiagnosis\r\n", 0), ("\r\n\r\nPEN CHECK\r\n", 2))
            if marker in text]
    with open(text_report_out, "wb") as file:
        file.write(text[: min(ends) if ends else len(text)].encode("utf-8"))
    if "findings" in document:
        check_findings(document["findings"], lines)
    elif "Diagnosis" in lines:
        problem("the text run has findings, the document none")
    if "pen" in document:
        check_pen(document["pen"], lines)
    elif "PEN CHECK" in lines:
        problem("the text run has a pen check, the document none")


def main():
    document_path, status, report_out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    with open(document_path, "rb") as file:
        document = json.loads(file.read().decode("utf-8"))
    report = document["report"]
    with open(report_out, "wb") as file:
        file.write(report.encode("utf-8"))

    ending = document["ending"]
    if ending not in ENDINGS:
        problem(f"unknown ending {ending!r}")
    expected = EXIT_CODES.get(ending, 7 if document["containedFaults"] else 0)
    # A problem among the findings of a complete report gives 8; the pen
    # check's own code counts too, the most severe winning.
    if expected == 0 and any(f["severity"] == "problem" for f in document.get("findings", [])):
        expected = 8
    if "pen" in document:
        expected = min(expected, document["pen"]["exitCode"], key=SEVERITY_ORDER.index)
    if document["exitCode"] != expected or status != expected:
        problem(f"ending {ending}, {document['containedFaults']} faults: exit code {document['exitCode']}, "
                f"process {status}, expected {expected}")
    if ending == "hung" and not report.endswith("<hung>\r\n"):
        problem("ending hung, but the report does not end in <hung>")
    if ending == "hardException" and not report.endswith("<hard exception>\r\n"):
        problem("ending hardException, but the report does not end in <hard exception>")
    if ending not in ("hung", "hardException") and not report.endswith("\r\n"):
        problem("the report has no final line break")

    calls = document["calls"]
    faults = 0
    for number, call in enumerate(calls):
        check_call(call, report, ending, number == len(calls) - 1, document["logComplete"])
        faults += sum(1 for p in ("probe", "real") if call.get(p) and call[p]["outcome"] == "exception")
    if faults != document["containedFaults"]:
        problem(f"{faults} calls faulted, containedFaults says {document['containedFaults']}")
    if report.count("<exception>") < faults:
        problem(f"{faults} contained faults but fewer rows read <exception>")

    library = document["library"]
    if library["loaded"]:
        if calls[0]["step"] != "load" or calls[0]["real"]["count"] != 1:
            problem("loaded, but the first call is not a load that succeeded")
        if library["path"] is not None and row_start("GetModuleFileNameW()") + '"' + library["path"] + '"' not in report:
            problem("the library's path is not in its row")
        for key in ("fileVersion", "companyName"):
            value, label = library[key], key[0].upper() + key[1:]
            if value is not None and row_start(label) + value not in report:
                problem(f"{label} {value!r} is not in its row")
        for name, found in (library["entryPoints"] or {}).items():
            row = re.search(re.escape(row_start(name + "()")) + r"0x([0-9a-f]+)", report)
            if not row or (int(row.group(1), 16) != 0) != found:
                problem(f"entry point {name}: found {found}, but its row says otherwise")
    elif ending == "noLibrary" and library["loadError"] is not None:
        if f"(GetLastError()={library['loadError']})" not in report:
            problem("the load error is not in the error line")

    if len(sys.argv) > 5:
        check_text_run(document, sys.argv[4], sys.argv[5])

    for line in problems:
        print("json:", line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
