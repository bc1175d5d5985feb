#!/usr/bin/env bash
# Builds Parley and runs its benchmarks, each printing its figures:
#   send_bench   the direct send pipelines against the gateway simulator
#   excel_bench  loading, listing, counting, previewing and sending a 200,000-row workbook,
#                beside Debian's xlsx2csv converting the same file (installed here, and only here)
#   xls_bench    loading a 65,535-row .xls workbook, beside xlrd and catdoc's xls2csv (installed
#                here too)
#   load_bench   the engine binary under pipelined commands, reconnects and long sends
# Run it on an idle machine: the figures are wall-clock times.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh xlsx2csv catdoc python3-xlrd
bash scripts/build.sh
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== send_bench"
build/bench/send_bench
echo "== excel_bench"
build/bench/excel_bench --rows 200000
echo "== xls_bench"
build/bench/xls_bench
echo "== load_bench"
build/bench/load_bench
