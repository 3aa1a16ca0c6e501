#!/usr/bin/env bash
# Runs the benchmark programs of a build and writes bench/RESULTS.md: the
# machine, every figure with its median and spread next to its target, and
# what bounds it. Needs only bash, awk and the usual tools.
#
#   bench/run.sh [build-dir]      (default: build; `make bench` passes $(BUILD))
#
# ZL_BENCH_REPETITIONS (default 10) sets the repetitions of each benchmark;
# ZL_BENCH_QUICK=1 makes a short smoke run (3 repetitions, bench/line --quick).
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-build}"
[ -d "$build" ] || build="$root/$build"
bench="$build/bench"
results="$here/RESULTS.md"
reps="${ZL_BENCH_REPETITIONS:-10}"
line_args=()
if [ "${ZL_BENCH_QUICK:-0}" = 1 ]; then
  reps=3
  line_args=(--quick)
fi

programs=(GetInputBench InputRequestBench LoadBench ProtocolBench PassBench)
for p in "${programs[@]}" line/LineBench; do
  if [ ! -x "$bench/$p" ]; then
    echo "bench/run.sh: $bench/$p is missing; build the benchmarks first (make bench)" >&2
    exit 1
  fi
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# --- the machine, before the load of the runs themselves
model="$(lscpu 2>/dev/null | awk -F: '/^Model name/ {sub(/^[ \t]+/, "", $2); print $2; exit}')"
[ -n "$model" ] || model="$(awk -F: '/^model name/ {sub(/^[ \t]+/, "", $2); print $2; exit}' /proc/cpuinfo)"
hypervisor="$(lscpu 2>/dev/null | awk -F: '/^Hypervisor vendor/ {sub(/^[ \t]+/, "", $2); print $2; exit}')"
cpus="$(nproc 2>/dev/null || echo '?')"
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"
cxx="$(awk -F= '/^CMAKE_CXX_COMPILER:/ {print $2; exit}' "$build/CMakeCache.txt" 2>/dev/null)"
compiler="$("${cxx:-c++}" --version 2>/dev/null | head -1)"
build_type="$(awk -F= '/^CMAKE_BUILD_TYPE:/ {print $2; exit}' "$build/CMakeCache.txt" 2>/dev/null)"
commit="$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '?')"
started="$(date -u '+%Y-%m-%d %H:%M UTC')"

# --- the runs
status=0
for p in "${programs[@]}"; do
  echo "== $p" >&2
  "$bench/$p" --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true --benchmark_min_time=0.1 \
    --benchmark_out="$tmp/$p.json" --benchmark_out_format=json >&2 || status=1
done
echo "== LineBench" >&2
"$bench/line/LineBench" "${line_args[@]}" >"$tmp/line.md" || status=1
# The MQTT bridge: built only where libmosquitto and mosquitto are installed.
if [ -x "$bench/bridge/BridgeBench" ]; then
  echo "== BridgeBench" >&2
  "$bench/bridge/BridgeBench" "${line_args[@]}" >"$tmp/bridge.md" || status=1
else
  echo "Not run: bench/bridge/BridgeBench was not built (it needs libmosquitto-dev and" \
    "mosquitto)." >"$tmp/bridge.md"
fi
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"

# --- from Google Benchmark's JSON to one line per aggregate:
# run_name aggregate aggregate_unit real_time cpu_time time_unit target order
# (order: the benchmark's place in its program, whatever order the interleaved
# repetitions ran in)
flatten() {
  awk '
    function value(line) {
      sub(/^[^:]*:[ \t]*/, "", line); sub(/,[ \t]*$/, "", line); gsub(/"/, "", line)
      return line
    }
    /^[ \t]*\{/ { name = agg = aunit = real = cpu = unit = ""; target = "-"; family = instance = 0 }
    /"family_index":/ { family = value($0) }
    /"per_family_instance_index":/ { instance = value($0) }
    /"run_name":/ { name = value($0) }
    /"aggregate_name":/ { agg = value($0) }
    /"aggregate_unit":/ { aunit = value($0) }
    /"real_time":/ { real = value($0) }
    /"cpu_time":/ { cpu = value($0) }
    /"time_unit":/ { unit = value($0) }
    /"target":/ { target = value($0) }
    /^[ \t]*\}/ {
      if (name != "" && agg != "")
        print name "\t" agg "\t" aunit "\t" real "\t" cpu "\t" unit "\t" target "\t" family * 10000 + instance
      name = ""
    }
  ' "$1" | sort -t "$(printf '\t')" -k8,8n -s
}

# A Markdown table of one program: median wall and CPU time, the CPU time's
# min-max over the repetitions and its coefficient of variation, the target
# and whether the median CPU time meets it. $2: a pattern of run names.
table() {
  flatten "$tmp/$1.json" | awk -F'\t' -v pattern="${2:-.}" '
    function num(x) {
      if (x >= 100) return sprintf("%.0f", x)
      if (x >= 10) return sprintf("%.1f", x)
      if (x >= 1) return sprintf("%.2f", x)
      return sprintf("%.3f", x)
    }
    $1 ~ pattern {
      if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 }
      if ($2 == "cv") cv[$1] = $5
      else { real[$1, $2] = $4; cpu[$1, $2] = $5 }
      unit[$1] = $6; target[$1] = $7
    }
    END {
      print "| benchmark | median (wall) | median (CPU) | CPU min-max | CV | target | verdict |"
      print "|---|---|---|---|---|---|---|"
      for (i = 1; i <= n; ++i) {
        r = order[i]; u = " " unit[r]
        verdict = "-"; t = "-"
        if (target[r] != "-") {
          t = "< " num(target[r]) u
          verdict = (cpu[r, "median"] + 0 < target[r] + 0) ? "met" : "**missed**"
        }
        printf "| %s | %s | %s | %s-%s | %.1f %% | %s | %s |\n", r, num(real[r, "median"]) u,
               num(cpu[r, "median"]) u, num(cpu[r, "min"]), num(cpu[r, "max"]) u,
               100 * cv[r], t, verdict
      }
    }'
}

# GetInput: the same class on 1, 10 and 100 stations, and 100 against 1.
same_time() {
  flatten "$tmp/GetInputBench.json" | awk -F'\t' '
    $2 == "median" && $1 ~ /^GetInput\/[a-z_]+\/(1|10|100)$/ {
      split($1, part, "/")
      if (!(part[2] in seen)) { seen[part[2]] = 1; order[++n] = part[2] }
      cpu[part[2], part[3]] = $5
    }
    END {
      print "| class | 1 station | 10 stations | 100 stations | 100 / 1 | within 20 % |"
      print "|---|---|---|---|---|---|"
      for (i = 1; i <= n; ++i) {
        c = order[i]
        if (cpu[c, 1] == "" || cpu[c, 100] == "") continue
        ratio = cpu[c, 100] / cpu[c, 1]
        ok = (ratio <= 1.2 && ratio >= 0.8) ? "met" : "**missed**"
        printf "| %s | %.1f ns | %.1f ns | %.1f ns | %.2f | %s |\n", c, cpu[c, 1], cpu[c, 10],
               cpu[c, 100], ratio, ok
      }
    }'
}

{
  cat <<EOF
# Benchmark results

Written by \`make bench\` (bench/run.sh) on $started, commit $commit. Do not edit:
the next run replaces this file.

- Machine: $model, $cpus CPUs${hypervisor:+ (virtual machine, $hypervisor)}; load
  average $load_before before the runs, $load_after after them (the machine is shared).
- Compiler: $compiler; build type ${build_type:-?}.
- Method: Google Benchmark, $reps repetitions of every benchmark interleaved at random;
  each table gives the median of the repetitions, the minimum and maximum and the
  coefficient of variation (CV) of the CPU time. Targets are judged on the median CPU
  time: on a shared machine the wall time also holds other processes' turns.

## GetInput per channel class

One channel of each class in the last station of configurations of 1, 10 and 100
stations, each with 60 QQ variables and every other kind of definition; the read
goes through the channel index. Target: under 100 ns each, and the same figure for
1 and 100 stations within 20 %.

EOF
  table GetInputBench '^GetInput/'
  echo
  same_time
  cat <<'EOF'

For contrast, the literal scans of the channel map that the index replaces (the
last station's analog input, the last of 6000 variables):

EOF
  table GetInputBench '^LiteralScan/'
  cat <<'EOF'

Reading: a read is one entry of the 64 Ki-entry channel index (8 bytes), a few bound
checks, the station's data lock taken and released (no other thread holds it in
the benchmark) and the copy of the value; none of it depends on the number of
stations, which is why the three configurations cost the same. The text class
copies the 256 bytes of a Video text; the counter and analog classes widen a 6-byte
real. The queue-count diagnostic takes the queue lock; the heap diagnostic reads a
figure taken at most every 100 ms (taking it walks the allocator's free lists, over
200 ns).

## InputRequest: one scan of 6000 QQ variables

InputRequest for every variable of the 100-station file, one call each. Target:
under 2 ms for the scan with the queue full of the merged reads of an earlier scan
(every read still pending, nothing queued). The running driver's figure is the same
scan through the C entry points of a driver connected to a line that never answers,
so that its queue stays full of merged reads, with its thread woken by every call.

EOF
  table InputRequestBench
  cat <<'EOF'

Reading: per call, the channel index, the data lock (the station's sleep and the
read-suspend flag), the queue lock and a hash lookup of the variable's descriptor in
the queue's index of pending reads, so the scan does not grow with the queue. The
first scan adds the appends (a list node and two hash updates each, 6700 requests
with the STRING variables' eight parts). In the running driver each call also wakes
the communication thread: only the first wake of a pass takes the thread's lock and
signals it, the others see a wake already pending; the thread's passes during the
scan then meet the host on the data and queue locks, which is the difference to the
bare figure.

## LoadParameterFile

The 100-station file with every kind of definition (339 KiB: memory lists,
counters, analog limits, inversions, 60 QQ variables of every type, two memory
blocks, named channels, phone numbers), from opening the file to the last station.
Target: under 5 ms. Beside it the file with only the required keywords and the
variables, and Init's configuration steps as a whole (defaults and 100 station
records, the load, the station reset, the channel index).

EOF
  table LoadBench
  cat <<'EOF'

Reading: the file is read whole and split into items in one pass (each byte looked at
a constant number of times); what costs is per item: the keyword lookup (a linear
search of the 59-entry table, case ignored), the number conversions and the debug
line test. The figure grows with the file's items: a few nanoseconds a byte.

## Protocol engine, per operation

On the last station of the 100-station line: BuildRequestFrame per request kind;
DecodeResponse per answer item kind, on the answers the simulated controller gives to
those very frames; ReceiveStep per call and per message over a stream of all those
answers as the gateway sends them (PREFIX of 2 bytes, SUFFIX of 1); CompressReads of
6000 single QQ reads (100 stations x 60) into 100 requests.

EOF
  table ProtocolBench
  cat <<'EOF'

Reading: frames are built in fixed 256-byte texts; the merged read of 60
descriptors (192 bytes) costs most. Decoding is bound by the item walk and the event
text it composes; counters, analog inputs and the analog block widen and store 16
to 64 reals, the QQ read of 60 variables looks each one up in the station's list.
ReceiveStep does one phase per call by design (a byte of the PREFIX hunt, the start,
the body), so a message of this line takes 5 calls counting the SUFFIX byte left
from the previous one. CompressReads runs on the host's thread (synchronised call);
it keeps the queue's index in step, counting each merged request once per run.

## The communication thread's pass

The thread's own work per pass without the sleep: housekeeping of 100 stations
(clocks, timers, labels, sleep countdowns) and a whole idle pass of a connected
driver with nothing queued.

EOF
  table PassBench
  cat <<'EOF'

Reading: housekeeping advances each station's two clocks through the 6-byte real,
so its cost is proportional to the stations. In the running thread the same pass
costs more: after each sleep the 100 station records (6.5 KB each) are no longer in
the cache, and the sleep and wake-up themselves are charged to the thread (see the
idle figures below).

## The driver on the line (bench/line)

The driver through its C entry points, against the simulated gateway on loopback,
with the 100-station file, PREFIX of 2 bytes, SUFFIX of 1, SILENCE_WAIT 0.

EOF
  cat "$tmp/line.md"
  cat <<'EOF'
Reading. The host's InputRequest wakes the thread; its passes merge the reads
on the host's thread (one synchronised call, kept so that a host that stops pumping
holds the thread before any frame goes out), send the frame and find nothing more to
advance; the answer's bytes wake it again, and its passes take every reception phase
the bytes allow at once, settle the request under the queues' own lock (no
synchronised call) and decode the answer. The time is the loopback round trip, two
dispatches of the host's thread (the merge, the gateway's bytes) and the passes'
own work; the 99th percentile is the machine's other load.

Back to back, an exchange now waits only for the line and the pause. SILENCE_WAIT 0
ends when the 10 ms time-of-day clock next moves, and the thread sleeps exactly until
then (its next deadline), so on loopback the driver makes one exchange per step of
that clock, 100 a second at any IDLE_TIME (a thread that ran one pass per IdleTime made 14 at
IDLE_TIME 10). At 9600 baud
an exchange's 31 bytes take 32.3 ms and the pause ends at the next step after the
answer, 40 ms an exchange: the driver makes the 25 a second the line and the pause
allow at IDLE_TIME 10 (one pass per IdleTime made 19 a second there, 76 % of
that bound). The passes per exchange at 9600 baud are many because
every paced byte arrives in a segment of its own and wakes the thread, which takes it
in one pass; an idle line costs one pass per IdleTime as before.

The idle thread's cost is its passes (100 a second at IDLE_TIME 10) times what each
costs. Most of it is the system's: the timed wait and the wake-up, which the bare
sleeping thread beside it pays alone (on this virtual machine tens of microseconds a
wake-up, and varying with the host's load). The driver's own part is the pass on
caches gone cold during the sleep: the walk over the 100 station records (6.5 KB
apart) that advances their clocks, which the design does every pass; with warm
caches the same pass takes about a microsecond (PassBench). Where the bare thread
alone comes near 0.5 %, no thread that wakes 100 times a second can meet the
target; the driver's own share is the figure it controls.

## The MQTT bridge (bench/bridge)

zlbridge with 100 stations behind one gateway: the simulated line on loopback, a
mosquitto broker on loopback, a subscriber that takes every message. Messages per
second while the controllers' values move, and the time from a binary input
changing in a controller to its record at the subscriber (ten stations at a time).

EOF
  cat "$tmp/bridge.md"
  cat <<'EOF'
Reading: the time is the line's, not the bridge's. One gateway carries about 90
exchanges a second at IDLE_TIME 1 (see the line figures above), and every station
needs two reads a round (binary and analog inputs), so a round of 100 stations takes
over two seconds whatever --interval asks: a change waits on average half a round
for its station's next read, at most a whole one. The bridge adds one look at the
driver's values (every 20 ms) and the broker's hop. To go faster, split the stations
over more gateways, one bridge each (docs/bridge.md), or read slow groups less
often (--interval-of).

## Changes these figures led to

Each change is its own commit, with the benchmark before and after in its message.

- Thread wake: a wake that finds one already pending neither locks nor signals
  (InputRequest scan through the running driver: CPU 0.35 -> 0.25 ms).
- CompressReads: the growing request is counted in the queue's index once per run,
  not after every merge (6000 reads: 7.9 -> 1.1 ms CPU).
- The 6-byte real converts through the double's bits, bit for bit as before
  (housekeeping of 100 stations: 2.2 -> 0.9 us; the load: 2.6 -> 2.1 ms).
- The gateway's bytes wake the communication thread (read at IDLE_TIME 10: 61 -> 41
  ms median; 9600 baud at IDLE_TIME 10: 12 -> 27 exchanges a second, line busy 20 ->
  46 %).
- The heap diagnostic (channel 496) keeps its figure for 100 ms (GetInput 216 -> 27
  ns).
- The system clock converts to local time once per second and thread, not on every
  pass (the idle thread's pass: 28 % -> 19 % of its samples).
EOF
} >"$tmp/RESULTS.md"

mv "$tmp/RESULTS.md" "$results"
echo "bench/run.sh: wrote $results" >&2
exit "$status"
