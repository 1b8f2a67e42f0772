"""Times pandas' read_csv (C engine) on the rows of a live-log file, for bench_parse_log.

Usage: bench_parse_log_pandas.py FILE LINES_BEFORE_HEADER RUNS
Prints one JSON object: {"engine": "pandas", "version": ..., "rows": ..., "seconds": best of RUNS}.
"""
import json
import sys
import time

import pandas as pd


def main():
    path, skip, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    best = None
    rows = 0
    for _ in range(runs):
        start = time.perf_counter()
        frame = pd.read_csv(path, skiprows=skip, engine="c")
        elapsed = time.perf_counter() - start
        rows = len(frame)
        best = elapsed if best is None else min(best, elapsed)
        del frame
    print(json.dumps({"engine": "pandas", "version": pd.__version__, "rows": rows, "seconds": best}))


if __name__ == "__main__":
    main()
