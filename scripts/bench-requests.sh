#!/usr/bin/env bash
# Counts the Wine server requests of each copy contender (reinstall: the
# silent copy phase over an installation, every file replaced), for
# scripts/bench-copy.sh --requests, inside its prepared prefix:
#   bench-requests.sh <bench_copyphase.exe> <build dir> <output file>
# Each run has a server of its own that traces every request; the requests
# between the two marker events the benchmark creates are counted, those of
# the benchmark's thread for CopyFiles and CopyFileA, those of every other
# thread for the NSIS installer (its own process).
set -u
bench="$1"; build="$2"; out="$3"
trace="$build/server-trace.txt"
# Requests, not replies ("name() = ..."), of the marked stretch.
count() {
  awk -v tid="$1" -v others="$2" '
    /create_event\(.*bench-trace-start/ { on = 1; next }
    /create_event\(.*bench-trace-end/ { on = 0 }
    on && /^[0-9a-f]+: [a-z_]+\(/ && !/\) = / {
      split($0, a, ":")
      if ((others && a[1] != tid) || (!others && a[1] == tid)) n++
    }
    END { print n + 0 }' "$trace"
}
declare -A total
for workload in files big; do
  for contender in silent shell reinstall copyfile nsis; do
    wineserver -k > /dev/null 2>&1; wineserver -w > /dev/null 2>&1
    wineserver -d2 -p > /dev/null 2> "$trace" < /dev/null
    tid=$(bash scripts/wine-run.sh "$bench" trace "$contender" "$workload" 2>/dev/null | sed -n 's/^thread \([0-9a-f]*\).*/\1/p')
    others=0; [ "$contender" = nsis ] && others=1
    total[$contender.$workload]=$(count "$tid" "$others")
    if [ "$contender" = silent ] && [ "$workload" = files ]; then
      # Which requests a file of the copy phase costs, most frequent first.
      awk -v tid="$tid" '
        /create_event\(.*bench-trace-start/ { on = 1; next }
        /create_event\(.*bench-trace-end/ { on = 0 }
        on && /^[0-9a-f]+: [a-z_]+\(/ && !/\) = / {
          split($0, a, ":"); if (a[1] != tid) next
          name = $2; sub(/\(.*/, "", name); n[name]++
        }
        END { for (k in n) printf "    %-28s %8.2f per file\n", k, n[k] / 2000 }' "$trace" | sort -k2 -n -r | head -12 > "$build/requests-silent.txt"
    fi
    wineserver -k > /dev/null 2>&1; wineserver -w > /dev/null 2>&1
  done
done
rm -f "$trace"
{
  echo "Wine server requests (one run each; files: 2,000 files of 100,000 bytes, 20,000 blocks;"
  echo "big: one file of 100,000,000 bytes over 70 volumes, 10,000 blocks)"
  printf '  %-12s %10s %10s %14s %14s\n' contender files big "per 10,000 B" "per file"
  for contender in silent shell reinstall copyfile nsis; do
    files=${total[$contender.files]}; big=${total[$contender.big]}
    awk -v c="$contender" -v f="$files" -v b="$big" 'BEGIN {
      block = b / 10000; file = (f - 20000 * block) / 2000
      printf "  %-12s %10d %10d %14.2f %14.2f\n", c, f, b, block, file }'
  done
  awk -v r="${total[reinstall.files]}" -v s="${total[silent.files]}" 'BEGIN {
    printf "over an installation (reinstall against silent): %.2f more requests per replaced file\n", (r - s) / 2001 }'
  echo "CopyFiles with the silent callback, the requests of the 2,000-file workload by name:"
  cat "$build/requests-silent.txt"
} >> "$out"
