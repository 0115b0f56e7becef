#!/usr/bin/env bash
# Builds the Debian package with CPack, checks its control fields, unpacks it
# into a scratch root and starts the game from there on a private X server,
# once directly and once through its desktop entry: the main window must come
# up visible under its title and close on Escape (with exit status 0 where
# the game is our child).
#
# With CI=true and root, the package is also installed for real with apt-get,
# /usr/bin/dorvessa is started the same way, and the package is removed again.
#
#   deb_check.sh <cpack> <CPackConfig.cmake> <cmake> <check_tree.cmake> <version> <scratch>
set -euo pipefail

cpack=$1 cpack_config=$2 cmake=$3 check_tree=$4 version=$5 scratch=$6

readonly title='Dorvessa   BY：Mibbet'
readonly required_depends=(libqt6widgets6 libjpeg62-turbo fonts-arphic-uming qt6-translations-l10n)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/root"

game_pid=''
window_pid=''
xvfb_pid=''
installed_for_real=0
cleanup() {
  local pid
  for pid in $game_pid $window_pid; do kill -9 "$pid" 2>/dev/null || true; done
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if ((installed_for_real)); then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dorvessa >/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 1' HUP INT PIPE TERM

# --- The package and its control fields ------------------------------------
if ! "$cpack" --config "$cpack_config" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack did not build the package"
fi
shopt -s nullglob
debs=("$scratch"/out/*.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one .deb, found: ${debs[*]:-none}"
deb=${debs[0]}
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dorvessa ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version-1" ] || fail "Version is '$(field Version)', expected '$version-1'"
[ "$(field Section)" = games ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" == *@example.com\> ]] || fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Description)" ] || fail "no Description"

depends=$(field Depends)
echo "Depends: $depends"
# Package names only: split at ',' and '|', drop version constraints.
mapfile -t depend_names < <(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/[[:space:]]//g; /^$/d')
for want in "${required_depends[@]}"; do
  found=0
  for name in "${depend_names[@]}"; do [ "$name" = "$want" ] && found=1; done
  ((found)) || fail "Depends lacks $want"
done

# --- Unpacked into a scratch root --------------------------------------------
dpkg-deb -x "$deb" "$scratch/root"
top=$(ls -A "$scratch/root")
[ "$top" = usr ] || fail "package puts files outside /usr: $top"
"$cmake" -DPREFIX_DIR="$scratch/root/usr" -P "$check_tree" || fail "unpacked tree is incomplete"
wm_class_wanted=$(sed -n 's/^StartupWMClass=//p' "$scratch/root/usr/share/applications/io.example.dorvessa.desktop")

# --- A private X server ------------------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log" >&2; fail "Xvfb did not start"; }
  sleep 0.1
done
[ -s "$scratch/display" ] || fail "Xvfb did not report a display"
export DISPLAY=":$(head -n1 "$scratch/display")"

# True while the process runs (a zombie waiting for its parent has ended).
running() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# Waits for the game's one visible window, checks its title, the window class
# the desktop entry names and the program behind it, presses Escape and waits
# for the process to end. Sets window_pid to the process that owns the window.
close_with_escape() {
  local what=$1 program=$2 log=$3 launcher_pid=${4:-}
  local ids=''
  for _ in $(seq 150); do
    if [ -n "$launcher_pid" ] && ! running "$launcher_pid"; then
      cat "$log" >&2
      fail "$what exited before showing a window"
    fi
    ids=$(xdotool search --onlyvisible --name 'Dorvessa' 2>/dev/null || true)
    [ -n "$ids" ] && break
    sleep 0.1
  done
  [ -n "$ids" ] || { cat "$log" >&2; fail "no visible window from $what within 15 s"; }
  (($(wc -l <<<"$ids") == 1)) || fail "more than one visible window: $ids"
  local id=$ids name wm_class
  name=$(xdotool getwindowname "$id")
  [ "$name" = "$title" ] || fail "window title is '$name', expected '$title'"
  wm_class=$(xprop -id "$id" WM_CLASS)
  [[ "$wm_class" == *", \"$wm_class_wanted\"" ]] ||
    fail "window class is $wm_class; the desktop entry expects '$wm_class_wanted'"
  window_pid=$(xdotool getwindowpid "$id")
  local exe
  exe=$(readlink -f "/proc/$window_pid/exe")
  [ "$exe" = "$(readlink -f "$program")" ] || fail "the window belongs to $exe, not $program"
  echo "$what: window $id '$name', $wm_class, process $window_pid ($exe)"

  # Focus it (there is no window manager) and press Escape; the key goes to
  # the focused window, so retry if Qt had not taken the focus yet.
  local tries
  for tries in 1 2 3; do
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    xdotool key Escape
    for _ in $(seq 50); do
      running "$window_pid" || break 2
      sleep 0.1
    done
  done
  ! running "$window_pid" || fail "$what still running 15 s after Escape"
  echo "$what closed on Escape (after $tries key press(es))"
}

# Runs the program as a child of this script, so its exit status is known.
run_game() {
  local program=$1 log=$2
  env -u QT_QPA_PLATFORM -u QT_QPA_FONTDIR LC_ALL=C.UTF-8 "$program" >"$log" 2>&1 &
  game_pid=$!
  close_with_escape "$program" "$program" "$log" "$game_pid"
  [ "$window_pid" = "$game_pid" ] || fail "the window belongs to process $window_pid, not $game_pid"
  local status=0
  wait "$game_pid" || status=$?
  game_pid=''
  ((status == 0)) || { cat "$log" >&2; fail "$program exited with status $status"; }
  echo "$program exit status 0"
}

# Starts the game the way a desktop menu does: GLib reads the entry and runs
# its Exec line through PATH. The window must belong to the expected program.
run_from_entry() {
  local entry=$1 bindir=$2 log=$3
  PATH="$bindir:$PATH" env -u QT_QPA_PLATFORM -u QT_QPA_FONTDIR LC_ALL=C.UTF-8 \
    gio launch "$entry" >"$log" 2>&1 || { cat "$log" >&2; fail "gio launch $entry failed"; }
  close_with_escape "menu entry $(basename "$entry")" "$bindir/dorvessa" "$log"
}

run_game "$scratch/root/usr/bin/dorvessa" "$scratch/game.log"
run_from_entry "$scratch/root/usr/share/applications/io.example.dorvessa.desktop" \
  "$scratch/root/usr/bin" "$scratch/entry.log"

# --- Installed for real (CI only) -------------------------------------------
if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ]; then
  installed_for_real=1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$(realpath "$deb")" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log" >&2; fail "apt-get install of the package failed"; }
  [ -x /usr/bin/dorvessa ] || fail "/usr/bin/dorvessa missing after apt-get install"
  run_game /usr/bin/dorvessa "$scratch/game-installed.log"
  run_from_entry /usr/share/applications/io.example.dorvessa.desktop /usr/bin "$scratch/entry-installed.log"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq dorvessa >"$scratch/apt-remove.log" 2>&1 ||
    { cat "$scratch/apt-remove.log" >&2; fail "apt-get remove failed"; }
  installed_for_real=0
  [ ! -e /usr/bin/dorvessa ] || fail "/usr/bin/dorvessa left behind after apt-get remove"
fi
echo "package checks passed"
