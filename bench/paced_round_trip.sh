#!/bin/bash
# A script's question through the panel's command socket against the same
# question asked straight on the pseudo-terminal with PyVISA-py, both against
# a simulated instrument paced like the real link (115200 baud, 1 ms before
# each reply). The direct figure includes the 1 ms pause the panel makes
# before each line, so the two measure the same work.
#
#   bench/paced_round_trip.sh [build-dir] [questions]
#
# Needs Debian's python3-pyvisa-py and python3-serial.
set -eu
build=$(cd "${1:-build}" && pwd)
count=${2:-200}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
/usr/bin/python3 -c 'import pyvisa_py, serial' 2>/dev/null ||
    { echo "needs python3-pyvisa-py and python3-serial" >&2; exit 2; }

# simulator <file>: starts one in the background; its device path goes to
# $device.
simulator() {
    "$build/bin/pg5400-sim" --baud 115200 --turnaround 1 >"$1" 2>&1 &
    simulator_pid=$!
    for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.1; done
    device=$(head -1 "$1")
}

stats='
def report(name, t):
    t.sort()
    print("%-20s median %.2f ms, p99 %.2f ms" % (name, t[len(t) // 2], t[int(len(t) * 0.99) - 1]))
'

simulator "$work/direct.out"
/usr/bin/python3 - "$device" "$count" <<PY
import pyvisa, sys, time
$stats
rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource("ASRL%s::INSTR" % sys.argv[1], baud_rate=115200,
                        read_termination="\r", write_termination="\r\n", timeout=3000)
# Echo off, as the panel's scan does; whatever the instrument said is dropped.
inst.timeout = 200
for line in (":SYST:COMM:USB:ECH OFF", ":SYST:COMM:BLUE:ECH OFF"):
    inst.write(line)
    try:
        while True:
            inst.read()
    except Exception:
        pass
inst.timeout = 3000
t = []
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    time.sleep(0.001)
    reply = inst.query("*IDN?")
    assert reply.strip().startswith("PG,"), reply
    t.append((time.perf_counter() - start) * 1000)
report("direct (PyVISA-py)", t)
PY
kill $simulator_pid

simulator "$work/panel-sim.out"
port=$((20000 + RANDOM % 20000))
PG5400_PORTS=$device PG5400_SETTINGS=$work/settings.ini QT_QPA_PLATFORM=offscreen \
    "$build/bin/pg5400" -serve=127.0.0.1:$port >"$work/panel.out" 2>&1 &
/usr/bin/python3 - "$port" "$count" <<PY
import pyvisa, sys, time
$stats
rm = pyvisa.ResourceManager("@py")
deadline = time.time() + 20
while True:
    # The panel listens once it has found and read back the instrument.
    try:
        inst = rm.open_resource("TCPIP::127.0.0.1::%s::SOCKET" % sys.argv[1],
                                read_termination="\n", write_termination="\n", timeout=5000)
        assert inst.query("*IDN?").startswith("PG,")
        break
    except (OSError, pyvisa.errors.VisaIOError):
        if time.time() > deadline:
            raise
        time.sleep(0.2)
t = []
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    assert inst.query("*IDN?").startswith("PG,")
    t.append((time.perf_counter() - start) * 1000)
report("through the socket", t)
PY
