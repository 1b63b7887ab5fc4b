#!/usr/bin/env bash
# Replaces what a report leaves to the machine by the golden files'
# placeholders: the copyright line (line 2), the OS version value, the
# addresses of the load row and the five entry-point rows (<ADDRESS>, or
# <NULL> for zero) and the library path. Standard input to standard output.
exec awk 'BEGIN { RS = "\r\n"; ORS = "\r\n" }
function row(label) { return substr($0, 1, length(label)) == label && substr($0, length(label) + 1, 31 - length(label)) ~ /^ *$/ }
NR == 2 { print "<COPYRIGHT>"; next }
row("OS Version") && length($0) > 31 { print substr($0, 1, 31) "<OS-VERSION>"; next }
row("GetModuleFileNameW()") && substr($0, 32, 1) == "\"" { print substr($0, 1, 31) "\"<PATH>\""; next }
(row("LoadLibrary(\"WINTAB32.DLL\")") || row("WTInfoW()") || row("WTOpenW()") || row("WTClose()") || row("WTEnable()") || row("WTPacketsGet()")) && substr($0, 32, 2) == "0x" && (length($0) == 41 || length($0) == 49) && substr($0, 34) ~ /^[0-9a-f]+$/ {
  value = substr($0, 34); print substr($0, 1, 31) (value ~ /^0+$/ ? "<NULL>" : "<ADDRESS>"); next }
{ print }'
