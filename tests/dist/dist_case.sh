#!/usr/bin/env bash
# The release zip of `make dist`, built from the sources copied into a
# folder of another name, and packed a second time from the preset builds
# that `make test` made earlier in the clone's own folder: the same sources
# built twice, in two folders, at two times. The two zips and every file in
# them must be the same bytes. (A second release build in a second
# temporary folder would prove the same at twice the time, and `make test`
# must stay within its budget.) Then the zip's listing, dates and
# permissions, its SHA256SUMS, and the 64-bit programs started under Wine
# (tests/dist/dist_sample.sh).
#
#   dist_case.sh REPOSITORY VERSION WITH_PEN WORK_DIR X86_BUILD X64_BUILD WINE_RUN DRIVER
#
# WITH_PEN 1 when the build has the pen tester (padscope-pen); X86_BUILD and
# X64_BUILD the preset builds whose programs the release must equal: their
# static checks and tests (the x86 ones in the emulated machine) then hold
# for the zip's files too.
set -uo pipefail

readonly repository="$1" version="$2" with_pen="$3" work="$4" x86_build="$5" x64_build="$6"
readonly wine_run="$7" driver="$8"
readonly here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

temporary="$(mktemp -d)"
trap 'rm -rf "$temporary"' EXIT
rm -rf "$work"
mkdir -p "$work"

SOURCE_DATE_EPOCH="$(git -C "$repository" log -1 --format=%ct)" || exit 1
export SOURCE_DATE_EPOCH

# The checkout as it is (changes not yet committed included), without
# builds and whatever else git ignores.
copy_sources() {
  local target="$1"
  mkdir -p "$target"
  (cd "$repository" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
    xargs -0 cp --parents -t "$target")
}

zips=()
folder="$temporary/the-release-build/padscope-$version-sources"
copy_sources "$folder" || exit 1
started=$SECONDS
if ! bash "$folder/tools/dist.sh" >"$work/dist-1.log" 2>&1; then
  fail "make dist failed in $folder:"
  tail -n 30 "$work/dist-1.log"
  exit 1
fi
echo "built in $folder: $((SECONDS - started)) s"
zips+=("$folder/build/dist/padscope-$version.zip")

# The same zip packed from the preset builds.
pack_arguments=()
for pair in "x86:$x86_build" "x64:$x64_build"; do
  arch="${pair%%:*}" build="${pair#*:}"
  pack_arguments+=("$arch/padscope.exe=$build/padscope.exe" "$arch/padscope-report.exe=$build/padscope-report.exe")
  [ "$with_pen" = 1 ] && pack_arguments+=("$arch/padscope-pen.exe=$build/padscope-pen.exe")
  pack_arguments+=("$arch/sim/WINTAB32.DLL=$build/sim/WINTAB32.DLL")
done
mkdir -p "$temporary/presets"
python3 "$repository/tools/dist_pack.py" --repository "$repository" --version "$version" \
  --epoch "$SOURCE_DATE_EPOCH" --out "$temporary/presets/padscope-$version.zip" "${pack_arguments[@]}" ||
  { fail "packing the preset builds' programs"; exit 1; }
zips+=("$temporary/presets/padscope-$version.zip")
for zip in "${zips[@]}"; do
  [ -f "$zip" ] || { fail "no $zip"; exit 1; }
  echo "$(sha256sum "$zip" | cut -d' ' -f1)  $(stat -c %s "$zip") bytes  $zip"
done

# Every entry, then the archives themselves.
python3 "$here/zip_entries.py" "${zips[0]}" >"$work/entries-1.txt" || exit 1
python3 "$here/zip_entries.py" "${zips[1]}" >"$work/entries-2.txt" || exit 1
if ! diff "$work/entries-1.txt" "$work/entries-2.txt"; then
  fail "the release build and the preset builds differ in the entries above (name, SHA-256, date, mode)"
fi
cmp -s "${zips[0]}" "${zips[1]}" || fail "the two zips are not the same bytes"

# The listing: the read-me, the terms, the checksums, and per edition the
# programs and the simulated library in sim/ (never beside the programs,
# where it would stand in for the tablet's driver).
expected=(README.txt COPYRIGHT.txt SHA256SUMS)
[ -f "$repository/LICENSE" ] && expected+=(LICENSE.txt)
for arch in x86 x64; do
  expected+=("$arch/padscope.exe" "$arch/padscope-report.exe" "$arch/sim/WINTAB32.DLL")
  [ "$with_pen" = 1 ] && expected+=("$arch/padscope-pen.exe")
done
listing="$(cut -d' ' -f1 "$work/entries-1.txt")"
if [ "$listing" != "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)" ]; then
  fail "the zip holds"
  echo "$listing" | sed 's/^/  /'
  echo "  instead of"
  printf '  %s\n' "${expected[@]}"
fi

# Every entry dated SOURCE_DATE_EPOCH (a zip keeps even seconds) and
# readable by all, written by no one but the owner.
readonly epoch_even=$((SOURCE_DATE_EPOCH - SOURCE_DATE_EPOCH % 2))
readonly date_expected="$(date -u -d "@$epoch_even" +%Y-%m-%dT%H:%M:%S)"
while read -r name _ date mode; do
  [ "$date" = "$date_expected" ] || fail "$name is dated $date, not $date_expected"
  [ "$mode" = 100644 ] || fail "$name has mode $mode, not 100644"
done <"$work/entries-1.txt"

readonly unpacked="$work/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "${zips[0]}" "$unpacked" ||
  exit 1

# SHA256SUMS: every other file, each sum right.
sums_listing="$(cut -d' ' -f3 "$unpacked/SHA256SUMS")"
others="$(grep -vx SHA256SUMS <<<"$listing")"
[ "$sums_listing" = "$others" ] || fail "SHA256SUMS lists [$sums_listing], not every other file"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"

# The read-me names every file of its edition folders, and the pen tester
# only when there is one.
readme="$(tr -d '\r' <"$unpacked/README.txt")"
for name in padscope.exe padscope-report.exe 'sim\WINTAB32.DLL'; do
  grep -qF "$name" <<<"$readme" || fail "README.txt does not name $name"
done
if grep -qF padscope-pen.exe <<<"$readme"; then
  [ "$with_pen" = 1 ] || fail "README.txt names padscope-pen.exe, which the zip does not hold"
else
  [ "$with_pen" = 0 ] || fail "README.txt does not name padscope-pen.exe"
fi
[ "$(grep -c $'\r$' "$unpacked/README.txt")" = "$(wc -l <"$unpacked/README.txt")" ] ||
  fail "README.txt has lines without CR LF"

# The release programs are the preset builds' own bytes.
for pair in "x86:$x86_build" "x64:$x64_build"; do
  arch="${pair%%:*}" build="${pair#*:}"
  programs=(padscope.exe padscope-report.exe sim/WINTAB32.DLL)
  [ "$with_pen" = 1 ] && programs+=(padscope-pen.exe)
  for program in "${programs[@]}"; do
    cmp -s "$unpacked/$arch/$program" "$build/$program" ||
      fail "$arch/$program differs from $build/$program"
  done
done

bash "$here/dist_sample.sh" x64 "$version" "$repository/sim/sim_version.h" "$wine_run" "$driver" \
  "$work/sample" "$unpacked/x64/padscope.exe" "$unpacked/x64/padscope-report.exe" \
  "$unpacked/x64/sim/WINTAB32.DLL" || fail "the 64-bit programs of the zip"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "the release and the preset builds gave the same zip: $(stat -c %s "${zips[0]}") bytes"
