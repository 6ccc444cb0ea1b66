#!/usr/bin/env bash
# Time from starting vantrel to its window being shown, under Xvfb, over several runs.
# Usage: bench/startup.sh [build folder] [runs]     (needs xvfb and xdotool)
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
runs="${2:-10}"
exe="$build/bin/vantrel"
[ -x "$exe" ] || { echo "no $exe: build first" >&2; exit 1; }
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install xvfb xdotool)" >&2; exit 1; }
done

# A display of its own, on the first free number.
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
read -r number <"$fifo"
export DISPLAY=":$number"

# Milliseconds from exec to the named window being visible, one line per run.
measure() {
    local program=$1 title=$2
    for _ in $(seq "$runs"); do
        local start end pid
        start=$(date +%s%N)
        "$program" >/dev/null 2>&1 &
        pid=$!
        # A tight poll: xdotool's own --sync waits half a second between looks.
        until xdotool search --onlyvisible --pid "$pid" --name "^$title\$" >/dev/null 2>&1; do
            kill -0 "$pid" 2>/dev/null || { echo "$program ended without a window" >&2; exit 1; }
        done
        end=$(date +%s%N)
        kill "$pid"; wait "$pid" 2>/dev/null || true
        echo $(( (end - start) / 1000000 ))
    done | sort -n
}
median() { sed -n "$(( (runs + 1) / 2 ))p"; }

# The baseline, measured in the same run: a Qt program that only shows an empty window.
base=$(measure "$build/bench/empty_window" Baseline)
mine=$(measure "$exe" Vantrel)
bmed=$(echo "$base" | median); mmed=$(echo "$mine" | median)
echo "empty Qt window: median $bmed ms (runs: $(echo $base))"
echo "vantrel:         median $mmed ms (runs: $(echo $mine))"
echo "vantrel / empty window: $(awk "BEGIN { printf \"%.2f\", $mmed / $bmed }")"
