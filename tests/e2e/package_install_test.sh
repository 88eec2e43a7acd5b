#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from the build, checked
# (dependencies from dpkg-shlibdeps, lintian, desktop entry, metainfo,
# manual pages, --version of every program), unpacked into a scratch root
# and run there: the installed qvx-loopback makes a counted run of 3 against
# the installed qvx-sim and qvx-nmea with a scratch HOME. Its settings file
# and logs must land in the per-user data folder, with the names and bytes a
# portable run of the same executable (a copy in a folder of its own) gives.
# Time stamps and measured response times differ from run to run by nature
# and are masked before the comparison; nothing else is.
#   package_install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
scratch=$(mktemp -d)
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch/runtime
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir -m 700 "$scratch/runtime"

# The package and what it says about itself.
cpack --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(echo "$scratch"/pkg/qvx-loopback_"$version"_*.deb)
[[ -f $deb ]] || fail "no package qvx-loopback_${version}_*.deb"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6widgets6 libqt6serialport6 libqt6multimedia6 libc6; do
    [[ $depends == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
if command -v lintian >/dev/null; then
    lintian "$deb" >"$scratch/lintian.log" 2>&1 || true
    if grep '^E:' "$scratch/lintian.log"; then fail "lintian errors"; fi
fi
root=$scratch/root
dpkg -x "$deb" "$root"
usr=$root/usr
desktop-file-validate "$usr"/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >"$scratch/as.log" 2>&1 || { cat "$scratch/as.log"; fail "metainfo"; }
for exe in "$usr"/bin/*; do
    name=$(basename "$exe")
    [[ $("$exe" --version 2>/dev/null) == "$name $version" ]] || fail "$name --version: $("$exe" --version 2>&1)"
    page=$usr/share/man/man1/$name.1.gz
    [[ -f $page ]] || fail "no manual page for $name"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null) || fail "man -l $page"
    [[ -z $warnings ]] || fail "man -l $page: $warnings"
done
[[ -f $usr/share/qvx-loopback/COMP.wav && -f $usr/share/qvx-loopback/NO_COMP.wav && -f $usr/share/qvx-loopback/ALARM.wav ]] || fail "sound files not installed"

# One constant position, so the map logs do not depend on timing.
printf '%s\r\n' '$GPGGA,012345.00,3540.8720,N,13946.0260,E,1,08,0.9,40.5,M,39.0,M,,*55' >"$scratch/fix.nmea"

# The path a started tool prints as its first line.
pty_path() {
    for _ in $(seq 100); do
        [[ -s $1 ]] && { head -n1 "$1"; return 0; }
        sleep 0.05
    done
    fail "no pseudo-terminal from $1"
}
# run TAG EXE HOME: a counted run of 3 with both ports, reached through the
# same link names every time, so the settings file records the same ports.
run() {
    local tag=$1 exe=$2 home=$3
    "$usr/bin/qvx-sim" --seed 7 >"$scratch/$tag-sim.out" 2>&1 &
    pids+=($!)
    "$usr/bin/qvx-nmea" --replay "$scratch/fix.nmea" --loop --baud 9600 >"$scratch/$tag-gps.out" 2>&1 &
    pids+=($!)
    ln -sfn "$(pty_path "$scratch/$tag-sim.out")" "$scratch/radio"
    ln -sfn "$(pty_path "$scratch/$tag-gps.out")" "$scratch/gps"
    mkdir -p "$home"
    HOME=$home "$exe" --port "$scratch/radio" --gps-port "$scratch/gps" --gps-baud 9600 --log pkg --count 3 --quit \
        >"$scratch/$tag.out" 2>&1 || { cat "$scratch/$tag.out"; fail "$tag run"; }
    kill "${pids[@]}" 2>/dev/null || true
    pids=()
}

run installed "$usr/bin/qvx-loopback" "$scratch/home"
data=$scratch/home/.local/share/qvx-loopback
[[ -d $data ]] || fail "no per-user folder $data"
[[ $(HOME=$scratch/home "$usr/bin/qvx-loopback" --help) == *"Settings and logs: ~/.local/share/qvx-loopback"* ]] ||
    fail "--help does not name the per-user folder"
left=$(find "$root" -newer "$deb" -type f)
[[ -z $left ]] || fail "the installed program wrote into the install: $left"

mkdir "$scratch/portable"
cp "$usr/bin/qvx-loopback" "$scratch/portable/"
run portable "$scratch/portable/qvx-loopback" "$scratch/home2"
rm "$scratch/portable/qvx-loopback"
[[ -z $(find "$scratch/home2" -mindepth 1) ]] || fail "the portable run wrote into HOME: $(find "$scratch/home2" -mindepth 1)"

python3 - "$data" "$scratch/portable" <<'PY' || fail "the installed run's files differ from the portable run's"
import os, re, sys
def masked(folder):
    files = {}
    for name in os.listdir(folder):
        data = open(os.path.join(folder, name), 'rb').read()
        # The date and time of day; the response time, 4th field of a packet line.
        data = re.sub(rb'\d{4}/\d\d/\d\d \d\d:\d\d:\d\d', b'<date> <time>', data)
        data = re.sub(rb'(?m)^\d\d:\d\d:\d\d,([^,\r\n]*),([^,\r\n]*),[^,\r\n]*,', rb'<time>,\1,\2,<ms>,', data)
        files[re.sub(r'^\d{6}_', '<yyMMdd>_', name)] = data
    return files
installed, portable = masked(sys.argv[1]), masked(sys.argv[2])
names = sorted(installed)
print('files:', ', '.join(f'{n} ({len(installed[n])} bytes)' for n in names))
if names != sorted(portable):
    sys.exit(f'names differ: {names} vs {sorted(portable)}')
expected = {'qvx-loopback.ini', '<yyMMdd>_FSK Mode_pkg.log', '<yyMMdd>_FSK Mode_Map_pkg.csv', '<yyMMdd>_FSK Mode_Map_pkg.log',
            '<yyMMdd>_FSK Mode_pkg.jsonl', '<yyMMdd>_FSK Mode_pkg.summary.txt', '<yyMMdd>_FSK Mode_pkg.map.png'}
if set(names) != expected:
    sys.exit(f'expected {sorted(expected)}')
# The record stream and the run report hold microsecond instants and the
# logs' full paths, the map picture what the run measured: only the logs and
# the settings must be the same.
for n in names:
    if n.endswith(('.jsonl', '.summary.txt', '.map.png')):
        continue
    if installed[n] != portable[n]:
        sys.exit(f'{n} differs:\n{installed[n]!r}\n{portable[n]!r}')
PY
echo "package_install: $(basename "$deb") ($(stat -c %s "$deb") bytes), Depends: $depends"
if [[ -f $scratch/lintian.log ]]; then sed -n '/^[WIP]:/p' "$scratch/lintian.log"; fi
