#!/usr/bin/env python3
"""The decode floor of a capture plan: what two cores must at least spend on it.

An exact capture at T decodes every reference frame from the key frame before T up to the frame
shown at T, in decoding order: a B-frame's later reference is decoded before it. The floor is
the share of the stream's frames that lie in those spans (spans from one key frame merged),
times the CPU time of one single-threaded pass that skips non-reference frames, over
the number of cores, plus 0.05 s for starting a process and opening the file.

    floor.py CLIP (--frames N | --sheet | --every START INTERVAL | --at T...)
             [--pass-cpu SECONDS] [--cores N] [--verbose] [--times] [--whole-groups]
             [--decode-cpu]

Times count from the stream's first frame, as the console tool counts them. Prints the floor
in seconds; --pass-cpu reuses a pass measured already (see pass_cpu below); --times prints the
capture times instead, one a line. --whole-groups prints a second figure beside it: the floor
when each key frame's span is decoded on one core, as an exact capture must be (no core can
start inside another's span), split between the cores as evenly as whole spans go.
--decode-cpu prints last the CPU seconds of the decoding the floor counts, on all cores.
"""
import argparse
import bisect
import os
import resource
import subprocess
import sys

START_UP = 0.05


def frames_of(clip):
    """Presentation times, key flags, durations and places in decoding order of the video
    frames, in presentation order."""
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "packet=pts_time,dts_time,duration_time,flags", "-of", "csv=p=0", clip],
        check=True, capture_output=True, text=True).stdout
    frames = []
    for line in out.splitlines():
        parts = line.split(",")
        if len(parts) < 4:
            continue
        pts, dts, duration, flags = parts[:4]
        time = pts if pts not in ("", "N/A") else dts
        if time in ("", "N/A"):
            continue
        length = float(duration) if duration not in ("", "N/A") else 0.0
        frames.append((float(time), "K" in flags, length, len(frames)))
    frames.sort()
    return frames


def pass_cpu(clip):
    """CPU seconds of one single-threaded decoding pass skipping non-reference frames."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-threads", "1",
                    "-skip_frame", "noref", "-i", clip, "-f", "null", "-"], check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def capture_times(args, duration):
    if args.at:
        return args.at
    if args.sheet:
        return [i * duration / 10 for i in range(1, 10)]
    if args.every:
        start, interval = args.every
        count = round((duration - start) / interval)
        return [start + interval * i for i in range(1, count + 1)]
    return [i * duration / (args.frames + 1) for i in range(1, args.frames + 1)]


def spans(frames, times):
    """The frame counts of the spans from each capture's key frame to it, in decoding order, one
    a key frame."""
    first = frames[0][0]
    starts = [f[0] - first for f in frames]
    keys = sorted(f[3] for f in frames if f[1]) or [0]
    if keys[0] != 0:
        keys.insert(0, 0)
    time_at = {f[3]: f[0] for f in frames}
    # The last frame each key frame's captures reach. A frame shown before the key frame decoded
    # ahead of it (a leading picture of an open group) needs the group before.
    reach = {}
    for t in times:
        shown = frames[max(0, bisect.bisect_right(starts, t + 1e-9) - 1)][3]
        k = max(0, bisect.bisect_right(keys, shown) - 1)
        while k > 0 and time_at[keys[k]] > time_at[shown]:
            k -= 1
        key = keys[k]
        reach[key] = max(reach.get(key, key), shown)
    return [last - key + 1 for key, last in reach.items()]


def busiest_core(counts, cores):
    """The most frames one core decodes when whole spans go to the cores as evenly as they can:
    exact for two cores, longest span first to the least busy core otherwise."""
    if cores == 2:
        reachable = 1  # bit s: some spans sum to s frames
        for count in counts:
            reachable |= reachable << count
        total = sum(counts)
        return min(max(s, total - s) for s in range(total + 1) if reachable >> s & 1)
    busy = [0] * cores
    for count in sorted(counts, reverse=True):
        busy[busy.index(min(busy))] += count
    return max(busy)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("clip")
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--frames", type=int)
    mode.add_argument("--sheet", action="store_true")
    mode.add_argument("--every", type=float, nargs=2, metavar=("START", "INTERVAL"))
    mode.add_argument("--at", type=float, nargs="+")
    parser.add_argument("--pass-cpu", type=float)
    parser.add_argument("--cores", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--times", action="store_true")
    parser.add_argument("--whole-groups", action="store_true")
    parser.add_argument("--decode-cpu", action="store_true")
    args = parser.parse_args()

    frames = frames_of(args.clip)
    if not frames:
        sys.exit(f"{args.clip}: no video frames")
    duration = frames[-1][0] + (frames[-1][2] or 0.0) - frames[0][0]
    times = capture_times(args, duration)
    if args.times:
        print("\n".join(f"{t:.6f}" for t in times))
        return
    counts = spans(frames, times)
    part = sum(counts) / len(frames)
    cpu = args.pass_cpu if args.pass_cpu is not None else pass_cpu(args.clip)
    floor = part * cpu / args.cores + START_UP
    if args.verbose:
        print(f"{len(times)} captures, {part:.3f} of {len(frames)} frames, pass {cpu:.3f} s cpu, "
              f"{args.cores} cores", file=sys.stderr)
    figures = [floor]
    if args.whole_groups:
        figures.append(busiest_core(counts, args.cores) / len(frames) * cpu + START_UP)
    if args.decode_cpu:
        figures.append(part * cpu)
    print(" ".join(f"{figure:.4f}" for figure in figures))


if __name__ == "__main__":
    main()
