#!/usr/bin/env bash
# The same commit builds the same Morvelt.exe wherever and whenever it is built: the Morvelt target
# of the win32 preset is built twice, from this checkout into build/repro-a and from a copy of its
# files in a temporary folder elsewhere, one after the other, and the two SHA-256 sums must agree.
# MORVELT_REPRO_FIRST_BUILD names a win32 build folder of this checkout to use as the first build
# instead (scripts/test.sh passes build/win32, which it has just built); it is brought up to date.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cd "$root"
umask 022
first="$root/build/repro-a"
other="$(mktemp -d)"
trap 'rm -rf "$other"' EXIT

build() {  # build SOURCE BUILD_DIR: configures the win32 preset there and builds only the executable
  echo "reproducible-exe: building Morvelt in $2"
  (cd "$1" && cmake --preset win32 -B "$2" >"$other/configure.log" 2>&1) || { cat "$other/configure.log"; exit 1; }
  cmake --build "$2" --target Morvelt -j2 >"$other/build.log" 2>&1 || { tail -n 60 "$other/build.log"; exit 1; }
}

if [[ -n ${MORVELT_REPRO_FIRST_BUILD:-} && -f ${MORVELT_REPRO_FIRST_BUILD}/CMakeCache.txt ]]; then
  first="$MORVELT_REPRO_FIRST_BUILD"
  keep_first=1
  echo "reproducible-exe: bringing Morvelt up to date in $first"
  cmake --build "$first" --target Morvelt -j2 >"$other/build.log" 2>&1 || { tail -n 60 "$other/build.log"; exit 1; }
else
  keep_first=0
  rm -rf "$first"
  build "$root" "$first"
fi
mkdir "$other/src"
tar -C "$root" --exclude=./build --exclude=./.git --exclude=./.cache -cf - . | tar -C "$other/src" -xf -
build "$other/src" "$other/build"

sum_a=$(sha256sum "$first/app/Morvelt.exe" | cut -d' ' -f1)
sum_b=$(sha256sum "$other/build/app/Morvelt.exe" | cut -d' ' -f1)
echo "reproducible-exe: $sum_a  ${first#"$root"/}/app/Morvelt.exe"
echo "reproducible-exe: $sum_b  (copy of the sources elsewhere)/build/app/Morvelt.exe"
# Neither build folder, nor the folder of the sources, may be named inside the program.
for folder in "$root" "$other"; do
  if grep -qaF "$folder" "$first/app/Morvelt.exe" "$other/build/app/Morvelt.exe"; then
    echo "reproducible-exe: FAIL: the exe names the build path $folder"
    exit 1
  fi
done
if [[ $sum_a != "$sum_b" ]]; then
  cp "$other/build/app/Morvelt.exe" "$first/app/Morvelt.other.exe"
  echo "reproducible-exe: FAIL: the two builds differ in $(cmp -l "$first/app/Morvelt.exe" \
    "$first/app/Morvelt.other.exe" | wc -l) bytes; both kept in ${first#"$root"/}/app/"
  exit 1
fi
[[ $keep_first -eq 1 ]] || rm -rf "$first"
echo "reproducible-exe: PASS"
