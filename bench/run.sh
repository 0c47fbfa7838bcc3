#!/usr/bin/env bash
# Times vwc against GNU wc on a generated Verilog corpus, and one long token
# at three sizes; prints a Markdown table and writes it to bench/results.md.
#   usage: bench/run.sh [--smoke] [PROGRAM]
# --smoke: a few MB, one run each.  PROGRAM: another vwc to time instead of
# the Release build, such as the portable one; its table is printed, not
# written.
set -euo pipefail
cd "$(dirname "$0")/.."

smoke=false
[ "${1:-}" = --smoke ] && { smoke=true; shift; }
if $smoke; then
  corpus_mib=4 small_mb=1 runs=1 token_mib=(1 2 4) out=""  # in $work
else
  corpus_mib=256 small_mb=2 runs=5 token_mib=(1 16 64) out=bench/results.md
fi

sh scripts/install-deps.sh hyperfine time procps
# A Release build of its own, whatever build/ is configured as.
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench --target vwc vwc_corpus >/dev/null
vwc=$PWD/build-bench/vwc
if [ $# -gt 0 ]; then
  vwc=$(realpath "$1") out=""
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=${out:-$work/results.md}

build-bench/vwc_corpus $((corpus_mib << 20)) 1 > "$work/corpus.v"
build-bench/vwc_corpus $((small_mb * 1000000)) 2 > "$work/small.v"

# Seconds of one run of a shell command, measured by hyperfine.
seconds() { hyperfine --runs "${2:-1}" --style none --export-csv "$work/h.csv" "$1" >/dev/null
            awk -F, 'NR == 2 { printf "%.3f\n", $4 }' "$work/h.csv"; }
# Peak resident set size in KiB, as GNU time reports it.
peak_kib() { /usr/bin/time -f %M sh -c "$1" 2>&1 >/dev/null | tail -n 1; }
verdict() { awk "BEGIN { exit !($1) }" && echo met || echo "NOT met"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Alternate the two programs so that both see the same machine conditions.
cat "$work/corpus.v" > /dev/null
for _ in $(seq "$runs"); do
  v=$(seconds "$vwc < $work/corpus.v"); w=$(seconds "wc < $work/corpus.v")
  echo "$v" >> "$work/vwc.t"; echo "$w" >> "$work/wc.t"; echo "$v $w" | awk '{ print $1 / $2 }' >> "$work/ratio.t"
done
bytes=$(stat -c %s "$work/corpus.v")
vwc_s=$(median < "$work/vwc.t"); wc_s=$(median < "$work/wc.t"); ratio=$(median < "$work/ratio.t" | xargs printf "%.2f")
mbps() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.0f", b / 1e6 / s }'; }
vwc_small_kib=$(peak_kib "$vwc < $work/small.v")
vwc_kib=$(peak_kib "$vwc < $work/corpus.v")
wc_kib=$(peak_kib "wc < $work/corpus.v")

# One identifier of each size: a letter, then underscores.
token_rows="" ; declare -A token_s
for mib in "${token_mib[@]}"; do
  { printf x; head -c $((mib << 20)) /dev/zero | tr '\0' _; echo; } > "$work/token.v"
  token_s[$mib]=$(seconds "$vwc < $work/token.v" "$runs")
  kib=$(peak_kib "$vwc < $work/token.v")
  token_rows+="| one identifier of $mib MiB | ${token_s[$mib]} s | $kib KiB |"$'\n'
done
big=${token_mib[2]} mid=${token_mib[1]}
# The largest token vwc counts, once: it takes seconds, and a 1 GiB file.
limit_target=""
if ! $smoke; then
  largest=$(( (1 << 30) - 2 ))
  { printf x; head -c $((largest - 1)) /dev/zero | tr '\0' _; echo; } > "$work/token.v"
  largest_s=$(seconds "$vwc < $work/token.v")
  token_rows+="| one identifier of 2^30 - 2 bytes, the largest | $largest_s s | $(peak_kib "$vwc < $work/token.v") KiB |"$'\n'
  rm "$work/token.v"
  per_mib=$(awk -v a="$largest_s" -v b="${token_s[$big]}" -v m="$big" 'BEGIN { printf "%.2f", (a / 1024) / (b / m) }')
  limit_target="| time per MiB of the largest token at most 1.5 times that of a $big MiB one | $per_mib times | $(verdict "$per_mib <= 1.5") |"
fi
head -c $((big << 20)) "$work/corpus.v" > "$work/ordinary.v"
ordinary_s=$(seconds "$vwc < $work/ordinary.v" "$runs")
scaling=$(awk -v a="${token_s[$big]}" -v b="${token_s[$mid]}" 'BEGIN { printf "%.2f", a / b }')
vs_ordinary=$(awk -v a="${token_s[$big]}" -v b="$ordinary_s" 'BEGIN { printf "%.2f", a / b }')
mem_gap=$(( vwc_kib > vwc_small_kib ? vwc_kib - vwc_small_kib : vwc_small_kib - vwc_kib ))

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
cat > "$out" <<EOT
Program: ${vwc#$PWD/}.
Machine: $cpu, $(nproc) cores, $(free -g | awk '/^Mem:/ { print $2 }') GiB; $(uname -sr);
$(g++ --version | head -n 1); $(wc --version | head -n 1); locale ${LC_ALL:-${LANG:-C}}.
Corpus: $corpus_mib MiB of generated Verilog (seed 1); $runs runs each, alternating; medians.

| measure | vwc | wc |
|---|---|---|
| throughput | $(mbps "$vwc_s") MB/s ($vwc_s s) | $(mbps "$wc_s") MB/s ($wc_s s) |
| median time ratio vwc/wc | $ratio | |
| peak memory, $corpus_mib MiB input | $vwc_kib KiB | $wc_kib KiB |
| peak memory, $small_mb MB input | $vwc_small_kib KiB | |

| long token | time | peak memory |
|---|---|---|
${token_rows}| $big MiB of ordinary Verilog | $ordinary_s s | |

| target | figure | verdict |
|---|---|---|
| vwc/wc time ratio at most 1.00 (stretch 0.85) | $ratio | $(verdict "$ratio <= 1.00") |
| peak memory independent of input length (within 512 KiB) and under 4 MiB | $mem_gap KiB apart, $vwc_kib KiB | $(verdict "$mem_gap <= 512 && $vwc_kib < 4096") |
| $big MiB token at most 5 times a $mid MiB one | $scaling times | $(verdict "$scaling <= 5") |
| $big MiB token at most 8 times $big MiB of ordinary Verilog | $vs_ordinary times | $(verdict "$vs_ordinary <= 8") |
EOT
[ -z "$limit_target" ] || echo "$limit_target" >> "$out"
cat "$out"
