#!/usr/bin/env bash
# Time from starting a program to its window being shown, and its resident memory then, under
# Xvfb: vantrel against a plain Qt window with the same kinds of widgets and an empty one, in
# interleaved rounds that each start with the next program, so machine noise falls on all alike.
# Usage: bench/startup.sh [build folder] [rounds] [another vantrel, e.g. an older build]
# (needs xvfb)
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
rounds="${2:-15}"
command -v Xvfb >/dev/null || { echo "needs Xvfb (apt-get install xvfb)" >&2; exit 1; }
wait_for="$build/bench/startup_wait"
programs=("$build/bench/empty_window" "$build/bench/plain_window" "$build/bin/vantrel")
titles=(Baseline Baseline Vantrel)
names=("empty window" "plain window" "vantrel")
if [ -n "${3:-}" ]; then
    programs+=("$3"); titles+=(Vantrel); names+=("other vantrel")
fi
n=${#programs[@]}
for exe in "$wait_for" "${programs[@]}"; do
    [ -x "$exe" ] || { echo "no $exe: build first" >&2; exit 1; }
done

# A display of its own, on the first free number.
fifo=$(mktemp -u); mkfifo "$fifo"
out=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$fifo" "$out"' EXIT
read -r number <"$fifo"
export DISPLAY=":$number"

# One start of program k: "milliseconds kB" (resident memory as the window is mapped).
measure() {
    "$wait_for" "${titles[$1]}" "${programs[$1]}"
}

for round in $(seq 0 $((rounds - 1))); do
    for i in $(seq 0 $((n - 1))); do
        k=$(( (i + round) % n ))
        measure "$k" >>"$out/$k"
    done
done

median() { sort -g | sed -n "$(( (rounds + 1) / 2 ))p"; }
for k in $(seq 0 $((n - 1))); do
    ms[$k]=$(cut -d' ' -f1 "$out/$k" | median)
    kb[$k]=$(cut -d' ' -f2 "$out/$k" | median)
    printf '%-14s median %5.1f ms, %6d kB resident (runs, ms: %s)\n' "${names[$k]}:" "${ms[$k]}" \
        "${kb[$k]}" "$(cut -d' ' -f1 "$out/$k" | sort -g | tr '\n' ' ')"
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "vantrel / plain window: time $(ratio "${ms[2]}" "${ms[1]}"), memory $(ratio "${kb[2]}" "${kb[1]}")"
echo "vantrel / empty window: time $(ratio "${ms[2]}" "${ms[0]}"), memory $(ratio "${kb[2]}" "${kb[0]}")"
[ "$n" -gt 3 ] && echo "vantrel / other vantrel: time $(ratio "${ms[2]}" "${ms[3]}"), memory $(ratio "${kb[2]}" "${kb[3]}")"
exit 0
