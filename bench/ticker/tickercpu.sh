#!/usr/bin/env bash
# CPU of the kivra client while its ticker scrolls, and with no ticker at all.
#   bench/ticker/tickercpu.sh BINDIR [SECONDS] [TICKERTEXT...]
# Starts kivra-server on loopback (ticker news on request only), then for each TICKERTEXT value
# (default: 30, the page default, then 5, the welcome's speed, then 0, no ticker) runs
# `kivra --headless` on the offscreen platform against it, lets it log in and start scrolling,
# and reads the process's user+system time and its voluntary context switches (its wake-ups)
# from /proc over SECONDS (default 30). The figures are printed, never judged.
set -euo pipefail
bin=${1:?usage: tickercpu.sh BINDIR [SECONDS] [TICKERTEXT...]}
secs=${2:-30}
shift $(($# >= 2 ? 2 : $#))
periods=("$@")
[ ${#periods[@]} -eq 0 ] && periods=(30 5 0)
work=$(mktemp -d)
server_pid=
client_pid=
cleanup() {
    [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$bin/kivra-server" --open --port 0 --http-port -1 --ticker-seconds 0 >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 50); do grep -q 'chat=' "$work/server.out" && break; sleep 0.1; done
port=$(grep -o 'chat=[0-9]*' "$work/server.out" | head -1 | cut -d= -f2)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wakeups() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$1/status"; }
hz=$(getconf CLK_TCK)

printf '%-10s %8s %10s %12s\n' TICKERTEXT seconds "cpu %" "wakeups/s"
for period in "${periods[@]}"; do
    mkfifo "$work/in.$period"
    KIVRA_REGISTRY_DIR="$work/reg.$period" XDG_DATA_HOME="$work/data.$period" \
        QT_QPA_PLATFORM=offscreen "$bin/kivra" --headless --param SERVER=127.0.0.1 \
        --param "PORT=$port" --param USERNAME="Bench$period" --param PASSWORD=pw \
        --param "TICKERTEXT=$period" <"$work/in.$period" >/dev/null 2>"$work/err.$period" &
    client_pid=$!
    exec 3>"$work/in.$period" # keeps standard input open while measuring
    sleep 5                    # login, first paint, the ticker under way
    t0=$(cpu_ticks "$client_pid")
    w0=$(wakeups "$client_pid")
    sleep "$secs"
    t1=$(cpu_ticks "$client_pid")
    w1=$(wakeups "$client_pid")
    echo '!quit' >&3
    exec 3>&-
    wait "$client_pid" || true
    client_pid=
    awk -v p="$period" -v s="$secs" -v d=$((t1 - t0)) -v hz="$hz" -v w=$((w1 - w0)) \
        'BEGIN { printf "%-10s %8d %10.2f %12.1f\n", p, s, 100 * d / hz / s, w / s }'
    grep -c '^\[ticker\]' "$work/err.$period" | sed 's/^/  ticker messages loaded: /'
done
