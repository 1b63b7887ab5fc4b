#!/usr/bin/env python3
"""Checks one `padscope-report --json` document against the text report it
carries and the process's exit status, with rules of its own: every call's
counts are the size echoes "{%3u} " of its row, every row stands in its
section, a fault reads "<exception>", the ending is how the text ends.

    check_json.py DOCUMENT EXIT_STATUS REPORT_OUT

Writes the document's report text to REPORT_OUT (UTF-8, as padscope-report
writes it) so that the caller can compare it with a text run. Prints one
line per problem and exits 1 when there is any.
"""
import json
import re
import sys

BUFFER_BYTES = 131072
ENDINGS = {"complete", "noLibrary", "noInfoEntry", "probeZero", "probeFaulted", "hung", "hardException"}
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

    for line in problems:
        print("json:", line)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
