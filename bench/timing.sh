# Shared by the bench_*.sh scripts (source it; it runs nothing by itself).

# Prints the CPU seconds (user + system) used so far by the finished children of this shell.
# `times` runs in this shell (a command substitution would count its own subshell instead).
children_cpu() {
    times >"$work/.times"
    python3 -c "
import re
line = open('$work/.times').read().splitlines()[1]
u, s = (float(m) * 60 + float(x) for m, x in re.findall(r'(\d+)m([\d.]+)s', line))
print(u + s)"
}

# median3 COMMAND...: prints the median wall time in seconds of three runs of COMMAND, each
# given a fresh empty output folder under $work as its last argument, removed afterwards.
# With MEDIAN3_CPU set, the median CPU time (user + system of all its processes) follows in
# brackets: on a machine shared with other work it varies far less than the wall time.
median3() {
    local times=() cpus=()
    for run in 1 2 3; do
        local out start end
        out=$(mktemp -d "$work/out.XXXXXX")
        children_cpu >"$work/.cpu0"
        start=$(date +%s.%N)
        "$@" "$out"
        end=$(date +%s.%N)
        children_cpu >"$work/.cpu1"
        times+=("$(python3 -c "print($end - $start)")")
        cpus+=("$(python3 -c "print($(cat "$work/.cpu1") - $(cat "$work/.cpu0"))")")
        rm -rf "$out"
    done
    local wall
    wall=$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)
    if [ -n "${MEDIAN3_CPU:-}" ]; then
        echo "$wall $(printf '%s\n' "${cpus[@]}" | sort -g | sed -n 2p)"
    else
        echo "$wall"
    fi
}
