#!/usr/bin/env bash
# `make dist`: the release a Windows user downloads, as one zip.
#
#   dist.sh
#
# Builds the x86 and x64 presets' programs in release folders of their own
# (build/dist/x86, build/dist/x64: no tests, nothing of a developer's cache)
# and writes build/dist/padscope-VERSION.zip:
#
#   README.txt, COPYRIGHT.txt, SHA256SUMS
#   x86/ and x64/: padscope.exe, padscope-report.exe, padscope-pen.exe (when
#   the build has that program) and sim/WINTAB32.DLL, the simulated library
#
# The same sources give the same bytes in any folder at any time: the
# compiler and linker flags for that are the Windows builds' own
# (cmake/compiler_flags.cmake), and every date in the zip is
# SOURCE_DATE_EPOCH, by default the time of the last commit.
#
# The simulated library stays in sim/, never beside the programs: a
# WINTAB32.DLL beside padscope.exe would be loaded instead of the tablet
# driver's and the program would test the simulation.
set -euo pipefail

repository="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly repository
readonly dist="$repository/build/dist"
# cmake finds the presets in the current folder.
cd "$repository"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH="$(git -C "$repository" log -1 --format=%ct 2>/dev/null)" || {
    echo "dist: not a git checkout; set SOURCE_DATE_EPOCH to the release's time" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH

readonly programs=(padscope padscope-report)
readonly optional_programs=(padscope-pen)

pack_arguments=()
for preset in x86 x64; do
  build="$dist/$preset"
  cmake --preset "$preset" -B "$build" -DPADSCOPE_TESTS=OFF >/dev/null
  targets=("${programs[@]}" wintab_sim)
  # The list is read whole first: grep -q would stop reading early, and the
  # writer's broken pipe then fails the test under pipefail.
  available="$(cmake --build "$build" --target help)"
  for program in "${optional_programs[@]}"; do
    if grep -qx "\.\.\. $program" <<<"$available"; then
      targets+=("$program")
    fi
  done
  cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null ||
    cmake --build "$build" -j1 --target "${targets[@]}"
  for target in "${targets[@]}"; do
    if [ "$target" = wintab_sim ]; then
      pack_arguments+=("$preset/sim/WINTAB32.DLL=$build/sim/WINTAB32.DLL")
    else
      pack_arguments+=("$preset/$target.exe=$build/$target.exe")
    fi
  done
done

version="$(sed -n 's/^#define PADSCOPE_VERSION_TEXT "\(.*\)"$/\1/p' "$dist/x64/generated/version/version.h")"
readonly version
if [ -z "$version" ]; then
  echo "dist: no version in $dist/x64/generated/version/version.h" >&2
  exit 1
fi

readonly zip="$dist/padscope-$version.zip"
python3 "$repository/tools/dist_pack.py" --repository "$repository" --version "$version" \
  --epoch "$SOURCE_DATE_EPOCH" --out "$zip" "${pack_arguments[@]}"
echo "dist: $zip ($(stat -c %s "$zip") bytes)"
