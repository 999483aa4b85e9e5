#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Turns the JSON output of the benchmark programs (and memory_bench's lines)
into one line per figure: ours, the reference measured in the same run, the
ratio, the goal and ok/MISS. Times are medians of CPU time over repetitions;
figures marked [wall-clock] (they wait for locks or the disk) are real time."""
import json
import os
import sys

UNIT = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(outdir):
    times = {}
    wall = {}      # real (wall-clock) times, for figures that wait
    counters = {}  # user counters of single runs
    for fn in sorted(os.listdir(outdir)):
        if not fn.endswith(".json"):
            continue
        prog = fn[:-5]
        with open(os.path.join(outdir, fn)) as f:
            data = json.load(f)
        single = {}
        for b in data.get("benchmarks", []):
            if b.get("error_occurred"):
                continue
            real = b["real_time"] * UNIT.get(b.get("time_unit", "ns"), 1.0)
            name = b.get("run_name", b["name"])
            # Figures that wait for the disk are wall-clock ("/real_time").
            key = "real_time" if "/real_time" in name else "cpu_time"
            ns = b[key] * UNIT.get(b.get("time_unit", "ns"), 1.0)
            if b.get("run_type") == "aggregate":
                if b.get("aggregate_name") == "median":
                    times[(prog, name)] = ns
                    wall[(prog, name)] = real
            else:
                single[name] = (ns, real)
                for k in ("failed", "p50_us", "p99_us", "max_us", "waits"):
                    if k in b:
                        counters[(prog, name, k)] = b[k]
        for name, (ns, real) in single.items():  # without repetitions there is no median
            times.setdefault((prog, name), ns)
            wall.setdefault((prog, name), real)
    memory = {}
    mem = os.path.join(outdir, "memory.txt")
    if os.path.exists(mem):
        for line in open(mem):
            parts = line.split()
            if len(parts) == 2:
                memory[parts[0]] = float(parts[1])
    return times, memory, wall, counters


def fmt_ns(ns):
    if ns is None:
        return "-"
    if ns >= 1e6:
        return "%.2f ms" % (ns / 1e6)
    if ns >= 1e3:
        return "%.2f us" % (ns / 1e3)
    return "%.1f ns" % ns


def fmt_bytes(n):
    if n >= 1 << 20:
        return "%.2f MiB" % (n / (1 << 20))
    if n >= 1 << 10:
        return "%.1f KiB" % (n / (1 << 10))
    return "%d B" % n


rows = []
misses = 0


def row(name, ours, ref, goal=None, ours_txt=None, ref_txt=None):
    """goal: (op, value): the ratio must be below ('<') or at most ('<=') value."""
    global misses
    ratio = ours / ref if ours is not None and ref else None
    goal_txt, status = "-", "-"
    if goal is not None:
        op, v = goal
        goal_txt = "%s %g" % (op, v)
        if ratio is None:
            status = "MISS"
        else:
            good = ratio < v if op == "<" else ratio <= v
            status = "ok" if good else "MISS"
        if status == "MISS":
            misses += 1
    rows.append((name, ours_txt or fmt_ns(ours), ref_txt or fmt_ns(ref),
                 "-" if ratio is None else "%.2f" % ratio, goal_txt, status))


def main():
    global misses
    outdir = sys.argv[1]
    t, mem, wall, counters = load(outdir)
    g = lambda prog, name: t.get((prog, name))
    gw = lambda prog, name: wall.get((prog, name))

    row("ReloadIniFile 20 KB vs read+memchr split", g("ini_bench", "BM_ReloadIniFile/20"),
        g("ini_bench", "BM_ReadAndSplit"), ("<=", 5))
    row("ReloadIniFile 20 KB vs inih into unordered_map", g("ini_bench", "BM_ReloadIniFile/20"),
        g("ini_bench", "BM_Inih"), ("<", 1))
    row("ReadProfileSetting reload (sample) vs ReloadIniFile", g("profile_bench", "BM_ReadProfileSetting_reload"),
        g("profile_bench", "BM_ReloadIniFile"), ("<=", 3))
    row("OpenProfile+reload+CloseProfile (sample) vs ReloadIniFile", g("profile_bench", "BM_OpenReloadClose"),
        g("profile_bench", "BM_ReloadIniFile"))
    row("ReadProfileSetting copy (sample) vs copyORVIOPENPARM", g("profile_bench", "BM_ReadProfileSetting_copy"),
        g("profile_bench", "BM_copyORVIOPENPARM"))
    row("GetProfileFromORVIOPENPARM all keys vs map find+copy", g("text_bench", "BM_GetProfileFromORVIOPENPARM"),
        g("text_bench", "BM_unordered_map_copy"), ("<=", 5))
    row("GetProfileFromORVIOPENPARM all keys vs map find", g("text_bench", "BM_GetProfileFromORVIOPENPARM"),
        g("text_bench", "BM_unordered_map_find"))
    row("GetPrivateProfileString vs unordered_map", g("ini_bench", "BM_GetPrivateProfileString"),
        g("ini_bench", "BM_HashMapLookup"), ("<=", 5))
    conv = [("Utf8ToUtf16", "Utf8ToUtf16_memcpy", ("<=", 1 / 3.0)),
            ("Utf16ToUtf8", "Utf16ToUtf8_memcpy", ("<=", 1 / 3.0)),
            ("EucToUtf8", "EucToUtf8_memcpy", None),
            ("Utf16ToEuc", "Utf16ToUtf8_memcpy", None),
            ("SjisToUtf8", "SjisToUtf8_memcpy", None),
            ("Utf8ToEuc", "Utf8ToUtf16_memcpy", None)]
    for d, mc, goal in conv:
        ours = g("encoding_bench", d + "_ours")
        row("Cvcnv_%s 20 KB vs iconv" % d, ours, g("encoding_bench", d + "_iconv"), goal)
        row("Cvcnv_%s 20 KB vs memcpy" % d, ours, g("encoding_bench", mc))
    row("ReadStyleSetting reload (full style) vs strtoul", g("style_bench", "BM_ReadStyleSetting_reload"),
        g("style_bench", "BM_strtoul_same_digits"))
    row("[wall-clock] commit (SetProfiles 20 KB) vs pwrite+fsync", g("style_bench", "BM_SetProfiles_commit/real_time"),
        g("style_bench", "BM_pwrite_fsync_same_bytes/real_time"), ("<=", 4))
    row("[wall-clock] commit merging another's save vs plain commit",
        g("style_bench", "BM_SetProfiles_commit_merge/real_time"), g("style_bench", "BM_SetProfiles_commit/real_time"))
    row("sem_open+sem_close shared vs open+close", g("lock_bench", "BM_sem_open_close_shared"),
        g("lock_bench", "BM_open_close_rdonly"))
    row("sem_open+sem_close exclusive vs open+close", g("lock_bench", "BM_sem_open_close_exclusive"),
        g("lock_bench", "BM_open_close_rdwr"))
    row("copyORVIOPENPARM full record vs memcpy", g("copy_bench", "BM_copyORVIOPENPARM"),
        g("copy_bench", "BM_memcpy_same_bytes"))

    # Figures that wait: wall-clock time (marked), goals on the time itself.
    row("[wall-clock] sem_open of a lock let go after 10 ms vs the 10 ms",
        gw("lock_wait_bench", "BM_lock_released_after_10ms/iterations:20/manual_time"),
        gw("lock_wait_bench", "BM_sleep_10ms/iterations:20/manual_time"), ("<", 2))
    c = lambda k: counters.get(("lock_wait_bench", "BM_16_processes_load_and_commit/iterations:1/repeats:1", k),
                               counters.get(("lock_wait_bench", "BM_16_processes_load_and_commit/iterations:1", k)))
    if c("waits") is not None:
        row("[wall-clock] 16 processes x 10 s: failed calls", None, None, ours_txt="%d" % c("failed"),
            ref_txt="of %d waits" % c("waits"))
        if c("failed"):
            misses += 1
            rows[-1] = rows[-1][:4] + ("= 0", "MISS")
        else:
            rows[-1] = rows[-1][:4] + ("= 0", "ok")
        for k, goal in (("p50_us", None), ("p99_us", 100e3), ("max_us", 1e6)):
            ours = c(k) * 1e3
            row("[wall-clock] 16 processes x 10 s: %s wait of sem_open" % k[:-3], ours,
                goal * 1e3 if goal else None, ("<", 1) if goal else None,
                ref_txt=("goal " + fmt_ns(goal * 1e3)) if goal else None)
    else:
        row("[wall-clock] 16 processes x 10 s", None, None, ("<", 1))

    if "block_bytes" in mem:
        row("memory: one open block, sample + %d full styles" % mem.get("block_styles_loaded", 0), None, None,
            ours_txt=fmt_bytes(mem["block_bytes"]),
            ref_txt="files %s" % fmt_bytes(mem.get("profile_bytes", 0) + 30 * mem.get("style_bytes", 0)))
    if "reload_peak_bytes" in mem:
        row("memory: peak extra heap of one full reload", None, None, ours_txt=fmt_bytes(mem["reload_peak_bytes"]))

    # Scaling: the cost per unit at each size against the size before it
    # (1.00 = linear; well above 1 means worse than linear).
    def scale(label, prog, bench, sizes, unit):
        prev = None
        for n in sizes:
            tt = g(prog, "%s/%d" % (bench, n))
            per = tt / n if tt is not None else None
            if prev is None:
                row("%s %d %s (per %s)" % (label, n, unit, unit), per, None)
            else:
                row("%s %d %s (per %s) vs %d" % (label, n, unit, unit, prev[0]), per, prev[1], ("<=", 1.5))
            prev = (n, per)

    scale("scale: ReloadIniFile", "ini_bench", "BM_ReloadIniFile", [2, 20, 200, 2000], "KB")
    scale("scale: full reload", "reload_scale_bench", "BM_ReadProfileSetting_reload_kb", [2, 20, 200, 2000], "KB")
    scale("scale: GetPrivateProfileString last key", "ini_bench", "BM_GetString_SectionKeys",
          [10, 100, 1000, 10000], "key")

    w = [max(len(r[i]) for r in rows) for i in range(6)]
    head = ("figure", "ours", "reference", "ratio", "goal", "")
    print("  ".join(h.ljust(w[i]) for i, h in enumerate(head)).rstrip())
    for r in rows:
        print("  ".join([r[0].ljust(w[0]), r[1].rjust(w[1]), r[2].rjust(w[2]), r[3].rjust(w[3]),
                         r[4].ljust(w[4]), r[5]]).rstrip())
    print("%d goal(s) missed" % misses)


if __name__ == "__main__":
    main()
