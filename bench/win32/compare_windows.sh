#!/bin/bash
# Opens a 100,000-gap project in the Qt window and in the Win32 window, one after the other,
# PAIRS times (default 3), and prints each program's lines: the Qt window's OpenInWindow time,
# then the Win32 box's and window's times to the top painted and to the whole report.
# Needs the Linux build with benchmarks (build/) and the Windows build (build-windows/), an X
# server in DISPLAY and a Wine prefix in WINEPREFIX (scripts/test-windows.sh shows how to make
# one). Usage: bench/win32/compare_windows.sh [PAIRS]
set -euo pipefail
cd "$(dirname "$0")/../.."
: "${DISPLAY:?an X server is needed}" "${WINEPREFIX:?a Wine prefix is needed}"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
for ((pair = 1; pair <= ${1:-3}; ++pair)); do
    echo "== pair $pair, load $(cut -d' ' -f1 /proc/loadavg)"
    build/bench/report_box_bench --benchmark_filter='OpenInWindow' | grep OpenInWindow
    WINEDEBUG=-all "$wine" build-windows/bench/win32/report_box_bench_win32.exe --gaps |
        grep -E 'once|parts|open'
done
