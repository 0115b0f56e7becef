#!/usr/bin/env bash
# Without the Song-style font the game still starts, paints its window and
# ends normally, and says once on standard error which package to install;
# with the font installed it says nothing about it.
#
# Usage: font_fallback.sh PROBE
# PROBE is the game with a first-paint watch (bench/startup_game.cpp): it
# closes its main window the normal way after the first paint, so its exit
# status is the program's own. It runs offscreen with a fontconfig setup that
# only knows the DejaVu fonts.
set -euo pipefail
probe=$1
line='install the package fonts-arphic-uming'
dejavu=/usr/share/fonts/truetype/dejavu
[ -d "$dejavu" ] || { echo "SKIP: $dejavu missing (fonts-dejavu-core)"; exit 77; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cat >"$scratch/fonts.conf" <<CONF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <dir>$dejavu</dir>
  <cachedir>$scratch/cache</cachedir>
</fontconfig>
CONF

run() {  # run LABEL [ENV...]: runs the probe, leaves status, stdout, stderr
  local label=$1; shift
  set +e
  env QT_QPA_PLATFORM=offscreen "$@" "$probe" >"$scratch/$label.out" 2>"$scratch/$label.err"
  echo $? >"$scratch/$label.status"
  set -e
}

fail() { echo "FAIL: $*"; for f in "$scratch"/*.err; do echo "--- $f"; cat "$f"; done; exit 1; }

run missing FONTCONFIG_FILE="$scratch/fonts.conf"
[ "$(cat "$scratch/missing.status")" -eq 0 ] || fail "exit status $(cat "$scratch/missing.status") without the font"
grep -q '^first_paint_ms=' "$scratch/missing.out" || fail "no first paint without the font"
count=$(grep -c -- "$line" "$scratch/missing.err" || true)
[ "$count" -eq 1 ] || fail "the font notice appeared $count times without the font (expected once)"
echo "without the font: exit 0, window painted, notice once: $(grep -- "$line" "$scratch/missing.err")"

if fc-list 2>/dev/null | grep -q 'AR PL UMing CN'; then
  run installed
  [ "$(cat "$scratch/installed.status")" -eq 0 ] || fail "exit status $(cat "$scratch/installed.status") with the font"
  ! grep -q -- "$line" "$scratch/installed.err" || fail "the font notice appeared although the font is installed"
  echo "with the font: exit 0, no notice"
fi
