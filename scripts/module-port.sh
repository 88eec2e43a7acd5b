# Sourced by scripts/run.sh. module_port: the first serial port on which a
# radio module answers, printed; status 1 when none does. Each USB-serial
# and USB modem port (/dev/ttyUSB*, /dev/ttyACM*; QVX_PROBE_PORTS, a
# space-separated list, instead) is opened at the module's 19200 baud, 8N1,
# and asked its firmware ("@FV"); a module answers "*FV=..." or
# "Version=..." within half a second. A GPS receiver or another device on
# such a port is no module.
module_port() {
    local port answer
    local -a ports
    if [[ -n ${QVX_PROBE_PORTS:-} ]]; then
        read -r -a ports <<<"$QVX_PROBE_PORTS"
    else
        ports=(/dev/ttyUSB* /dev/ttyACM*)
    fi
    for port in "${ports[@]}"; do
        [[ -c $port && -r $port && -w $port ]] || continue
        answer=$(timeout 3 bash -c '
            exec 3<>"$1" || exit 1
            stty -F "$1" 19200 cs8 -cstopb -parenb raw -echo -crtscts clocal 2>/dev/null || exit 1
            printf "@FV\r\n" >&3
            timeout 0.6 cat <&3' probe "$port" 2>/dev/null) || true
        if [[ $answer == *"*FV="* || $answer == *"Version="* ]]; then
            echo "$port"
            return 0
        fi
    done
    return 1
}
