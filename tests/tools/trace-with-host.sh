#!/bin/bash
# kestrel-host plays a scenario twice: with no trace session, then with
# kestrel-trace in another process. The module must run the same both times,
# and every record it writes while the session holds its provider must arrive
# decoded.
#   trace-with-host.sh KESTREL_TRACE KESTREL_HOST SCENARIO OUT
set -eu
trace=$1 host=$2 scenario=$3 out=$4
rm -rf "$out"
mkdir -p "$out"
# A rendezvous folder of this run's own, short enough for socket names.
KESTREL_TRACE_DIR=$(mktemp -d /tmp/kt-XXXXXX)
export KESTREL_TRACE_DIR
export KESTREL_REGISTRY="$out/registry.db"
tracer=""
cleanup() {
    [ -n "$tracer" ] && kill "$tracer" 2>/dev/null || true
    rm -rf "$KESTREL_TRACE_DIR"
}
trap cleanup EXIT
fail() { echo "trace-with-host: $*" >&2; exit 1; }

"$host" --out "$out/alone" "$scenario" > "$out/alone.txt" 2>&1 || fail "without a session: $(cat "$out/alone.txt")"

"$trace" --seconds 120 --raw "$out/events.raw" > "$out/trace.txt" 2> "$out/trace.err" &
tracer=$!
for _ in $(seq 100); do
    grep -q "listening" "$out/trace.err" 2>/dev/null && break
    sleep 0.1
done
grep -q "listening" "$out/trace.err" || fail "kestrel-trace did not start: $(cat "$out/trace.err")"
"$host" --out "$out/traced" "$scenario" > "$out/traced.txt" 2>&1 || fail "with a session: $(cat "$out/traced.txt")"
kill -INT "$tracer"
wait "$tracer" || fail "kestrel-trace failed: $(cat "$out/trace.err")"
tracer=""

cmp -s "$out/alone/payload.json" "$out/traced/payload.json" || fail "the payloads differ with a session"
grep -q " 0 malformed" "$out/trace.err" || fail "malformed events: $(cat "$out/trace.err")"
events=$(grep -c "^pid=" "$out/trace.txt" || true)
[ "$events" -gt 0 ] || fail "no events arrived"
# Every event comes from the module in kestrel-host, fields and all.
others=$(grep -vc " process=kestrel-host file=.* module=Glance.dll version=[^ ]* group=kestrel-host level=[1-5] message=" "$out/trace.txt" || true)
[ "$others" -eq 0 ] || fail "$others events lack the module's fields"
# Records from the worker thread and the module's very last one. (Records
# below the default severity that come before the first record that passes it
# are not sent: that first record registers the provider.)
grep -q "function=Vanta::GlanceImpl::listenForUpdates .* message=Handled message " "$out/trace.txt" || fail "the worker's records are missing"
[ "$(tail -n 1 "$out/trace.txt" | sed 's/.* message=//')" = "Glance Module destroyed" ] || fail "the last record is missing"
# The raw events decode to the same lines.
"$trace" --decode "$out/events.raw" > "$out/decoded.txt" 2>/dev/null || fail "the raw events do not decode"
cmp -s "$out/trace.txt" "$out/decoded.txt" || fail "the raw events decode differently"
echo "trace-with-host: $events events from kestrel-host"
