#!/usr/bin/env bash
# The memory a big --spam-list costs: a generated list of 2,000,000 distinct
# hosts (about 44 MB) given to tallowby-scan with a one-line log, against the
# same scan with the built-in list, both measured by /usr/bin/time -v in this
# run. Last line: the peak memory of the scan with the big list over the
# list's size (target: near 1), and the same for what the list alone adds.
#   bench/spam-list-2m.sh [BUILD_DIR]      HOSTS=2000000 (default)
source "$(dirname "$0")/common.sh"
need "$scan" /usr/bin/time
hosts=${HOSTS:-2000000}
list=$tmp/spam-2m.hosts
log=$tmp/one.log
# Hosts of the shape such lists hold: words and a number, two or three labels.
awk -v n="$hosts" 'BEGIN {
  split("seo traffic best free buy cheap top site web ranking", w, " ")
  split("com ru net org xyz info", t, " ")
  for (i = 0; i < n; i++) {
    h = w[i % 10 + 1] "-" w[int(i / 10) % 10 + 1] i "." t[int(i / 100) % 6 + 1]
    if (i % 3 == 0) h = "www." h
    print h
  }
}' >"$list"
echo "GET http://seo-0.com/ x" >"$log"
cat "$list" >/dev/null

# peak_kb ARGS...: the largest resident set of one tallowby-scan run, in KB.
peak_kb() {
  /usr/bin/time -v "$scan" -d mysite.example --quiet --format none "$@" "$log" 2>&1 >/dev/null |
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}

list_kb=$(($(stat -c %s "$list") / 1024))
base_kb=$(peak_kb --hide-spam)
big_kb=$(peak_kb --spam-list "$list")
awk -v l="$list_kb" -v b="$base_kb" -v p="$big_kb" -v n="$hosts" 'BEGIN {
  printf "list: %d hosts, %.1f MB   built-in list: %.1f MB peak   --spam-list: %.1f MB peak\n",
    n, l / 1024, b / 1024, p / 1024
  printf "peak / list size: %.2f   (peak - built-in) / list size: %.2f\n", p / l, (p - b) / l
}'
