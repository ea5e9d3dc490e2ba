# Shared by the benchmark scripts; sourced, not run. Expects $cpu_file to name a
# scratch file.

# Runs a command with its output discarded; prints "wall cpu" in seconds.
timed() {
    local start end cpu
    start=$(date +%s.%N)
    /usr/bin/time -o "$cpu_file" -f '%U %S' "$@" >/dev/null 2>/dev/null
    end=$(date +%s.%N)
    cpu=$(tail -n 1 "$cpu_file")
    awk -v s="$start" -v e="$end" -v c="$cpu" 'BEGIN { split(c, p, " "); printf "%.3f %.3f\n", e - s, p[1] + p[2] }'
}

# The median of the numbers on standard input, one a line.
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
