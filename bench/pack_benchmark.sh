#!/usr/bin/env bash
# Packs the full-scale demo payload (5 builds of ~307 MB): warm runs (inputs in the page cache), each beside
# a run of the reference matcher, one cold run (page cache dropped first; needs root), peak memory, and the
# packer's literal bytes against the generator's novel bytes.
#   bench/pack_benchmark.sh MORAVEL_DEMO_PAYLOAD MORAVEL_PACK REFERENCE_MATCHER WORK_DIR [WARM_RUNS]
set -euo pipefail
# The EntryKeys in directory order, from the one header that defines them.
mapfile -t keys < <(sed -n 's/^#define ENTRY_KEY_[A-Z0-9_]* "\(.*\)"$/\1/p' "$(dirname "$0")/../payload/payload_format.h")
generator=$1 packer=$2 reference=$3 work=$4 runs=${5:-3}
demo=$work/demo out=$work/out
mkdir -p "$work"
[ -x /usr/bin/time ] || { echo "pack_benchmark: needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }

if [ ! -f "$demo/license.txt" ]; then
  "$generator" --scale 1.0 "$demo" > "$work/novel.txt"
fi
cat "$work/novel.txt"
input_bytes=$(cat "$demo"/bin/* | wc -c)
first_bytes=$(stat -c %s "$demo/${keys[0]}")
echo "inputs: $input_bytes bytes; machine load: $(cut -d' ' -f1-3 /proc/loadavg)"

run() {  # label
  /usr/bin/time -f "%e %M %U %S" -o "$work/time.txt" "$packer" --quiet "$demo" "$out"
  read -r wall rss user sys < "$work/time.txt"
  # File 1 is mapped twice (as input and as the head of the ChunkStore); both count in the resident size.
  beside=$(( rss - (input_bytes + first_bytes) / 1024 ))
  printf '%-6s wall %5.2f s  user %5.2f s  sys %5.2f s  peak RSS %7d KiB  beside the mapped inputs %6d KiB  %.2f GB/s\n' \
    "$1" "$wall" "$user" "$sys" "$rss" "$beside" "$(echo "$input_bytes / $wall / 1000000000" | bc -l)"
}

cat "$demo"/bin/* > /dev/null  # into the page cache
# Packer and reference in turn, so that both see the same machine; the ratio is of the medians.
walls=() references=()
for i in $(seq "$runs"); do
  run warm
  walls+=("$wall")
  references+=("$("$reference" "$demo" | sed -n 's/^reference matching: \([0-9.]*\) s.*/\1/p')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
pack_median=$(median "${walls[@]}") reference_median=$(median "${references[@]}")
printf 'reference matching, seconds: %s; median %s\n' "${references[*]}" "$reference_median"
printf 'packer median wall %s s = %.2f x the reference median\n' "$pack_median" \
  "$(echo "$pack_median / $reference_median" | bc -l)"
if [ "$(id -u)" -eq 0 ]; then
  sync; echo 3 > /proc/sys/vm/drop_caches
  run cold
else
  echo "cold run skipped: dropping the page cache needs root"
fi

# Literal bytes per file beside the generator's novel bytes.
"$packer" "$demo" "$out" 2>/dev/null | tee "$work/summary.txt" >/dev/null
echo
printf '%-18s %15s %15s %8s\n' file "novel bytes" "literal bytes" ratio
for key in "${keys[@]:1}"; do
  novel=$(awk -v k="$key" '$1 == k { print $3 }' "$work/novel.txt")
  literal=$(awk -v k="$key" '$1 == k { gsub(",", "", $4); print $4 }' "$work/summary.txt")
  printf '%-18s %15s %15s %8.4f\n' "$key" "$novel" "$literal" "$(echo "$literal / $novel" | bc -l)"
done
grep -E 'ChunkStore|packed' "$work/summary.txt"
