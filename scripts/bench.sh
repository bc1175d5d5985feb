#!/usr/bin/env bash
# Builds Parley and runs its benchmarks, each printing its figures:
#   send_bench   the direct send pipelines against the gateway simulator
#   excel_bench  loading, listing, counting, previewing, fully checking and sending a 200,000-row
#                workbook (to gatesim and to a gateway that only counts), beside Debian's xlsx2csv
#                converting the same file (installed here, and only here); then 999,999 rows, the
#                most one gateway job carries (its count field has six digits), from load to the
#                end of its send
#   xls_bench    loading a 65,535-row .xls workbook, beside xlrd and catdoc's xls2csv (installed
#                here too)
#   workbook_load_bench  cold loads of 200,000 to 1,048,576 rows in every format, each beside
#                zlib inflating its parts, xlsx2csv, xlrd or the sqlite3 shell, with the memory
#                the load adds
#   load_bench   the engine binary under pipelined commands, reconnects and long sends
# Run it on an idle machine: the figures are wall-clock times.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh xlsx2csv catdoc python3-xlrd sqlite3
bash scripts/build.sh
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== send_bench"
build/bench/send_bench
echo "== excel_bench"
build/bench/excel_bench --rows 200000
build/bench/excel_bench --rows 999999
echo "== xls_bench"
build/bench/xls_bench
echo "== workbook_load_bench"
build/bench/workbook_load_bench
echo "== load_bench"
build/bench/load_bench
