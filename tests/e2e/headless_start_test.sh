#!/usr/bin/env bash
# headless_start_test.sh BIN_DIR VERSION DESKTOP_ENTRY
# (The desktop file name the program sets is what Wayland desktops match;
# on X11 the window's class is, and that is checked here.)
set -euo pipefail
bin=$1 version=$2 entry=$3
scratch=$(mktemp -d)
xvfb_pid=
cleanup() {
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# --help and --version of every program, with no display at all.
programs=0
for exe in "$bin"/*; do
    [[ -f $exe && -x $exe ]] || continue
    name=$(basename "$exe")
    programs=$((programs + 1))
    out=$("${nodisplay[@]}" timeout 20 "$exe" --version 2>"$scratch/err") || fail "$name --version exits $?: $(cat "$scratch/err")"
    [[ $out == "$name $version" ]] || fail "$name --version: $out"
    out=$("${nodisplay[@]}" timeout 20 "$exe" --help 2>"$scratch/err") || fail "$name --help exits $?: $(cat "$scratch/err")"
    [[ $out == "Usage: "*"$name"* && $out == *"--version"* ]] || fail "$name --help: $out"
    out=$("${nodisplay[@]}" timeout 20 "$exe" -h 2>&1) || fail "$name -h exits $?"
done
((programs >= 4)) || fail "only $programs programs in $bin"

# The window program without a display, from a folder of its own: one line
# naming a virtual X server, exit 1, nothing written (no settings file).
mkdir "$scratch/portable"
cp "$bin/qvx-loopback" "$scratch/portable/"
for args in "" "--port /dev/null --count 3 --quit"; do
    # shellcheck disable=SC2086
    rc=0
    "${nodisplay[@]}" timeout 20 "$scratch/portable/qvx-loopback" $args >"$scratch/out" 2>"$scratch/err" || rc=$?
    ((rc == 1)) || fail "without a display ($args) exit $rc: $(cat "$scratch/err")"
    [[ ! -s $scratch/out && $(wc -l <"$scratch/err") == 1 ]] || fail "not one line: $(cat "$scratch/out" "$scratch/err")"
    grep -q "xvfb-run -a qvx-loopback" "$scratch/err" || fail "no advice: $(cat "$scratch/err")"
done
[[ $(ls "$scratch/portable") == qvx-loopback ]] || fail "wrote $(ls "$scratch/portable")"
# An option's value that looks like -h is no request for help.
out=$("${nodisplay[@]}" timeout 20 "$scratch/portable/qvx-loopback" --log -h 2>&1) && fail "--log -h ran"
[[ $out == *"xvfb-run"* ]] || fail "--log -h: $out"

# Under a virtual X server: the window's class is the one the desktop entry
# names, and it carries its icon.
command -v Xvfb >/dev/null && command -v xprop >/dev/null || fail "Xvfb and xprop (x11-utils) needed"
for n in $(seq 90 140); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
    kill -0 "$xvfb_pid" 2>/dev/null && break
    xvfb_pid=
done
[[ -n $xvfb_pid ]] || fail "no Xvfb"
export DISPLAY=:$n
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
"$scratch/portable/qvx-loopback" >"$scratch/x.out" 2>&1 &
app=$!
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"qvx-loopback" "qvx-loopback"/ {print $1; exit}')
    [[ -n $window ]] && xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep -q '= ' && break
    sleep 0.1
done
[[ -n $window ]] || { kill "$app"; fail "no window with WM_CLASS qvx-loopback: $(cat "$scratch/x.out")"; }
props=$(xprop -id "$window")
kill "$app"; wait "$app" 2>/dev/null || true
class=$(grep -m1 '^StartupWMClass=' "$entry" | cut -d= -f2)
[[ $props == *"WM_CLASS(STRING) = \"qvx-loopback\", \"$class\""* ]] || fail "WM_CLASS against StartupWMClass=$class: $(grep WM_CLASS <<<"$props")"
# The icon: its sizes as _NET_WM_ICON lists them (width, height, pixels).
sizes=$(grep -o 'Icon ([0-9]* x [0-9]*)' <<<"$props" | sort -u | tr '\n' ' ')
[[ $sizes == *"(16 x 16)"* && $sizes == *"(48 x 48)"* ]] || fail "_NET_WM_ICON: $sizes"
# The desktop file name, as the desktops that match a window to its menu
# entry by that name read it (the installed entry is named for the
# application id, as its icon is).
id=$(grep -m1 '^Icon=' "$entry" | cut -d= -f2)
for property in _GTK_APPLICATION_ID _KDE_NET_WM_DESKTOP_FILE; do
    [[ $props == *"$property(UTF8_STRING) = \""*"\""* ]] || fail "$property missing: $props"
    named=$(grep "^$property" <<<"$props" | sed 's/.*= "\(.*\)"/\1/')
    [[ $named == "$id" ]] || fail "$property names $named, the entry is $id"
done
echo "headless_start: $programs programs answer without a display; window class $class, icons $sizes"
