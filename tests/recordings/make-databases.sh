#!/bin/sh
# The databases of the recorded sessions, made the same way each time:
# installed.bin (in the simulated device) and newer.bin (on the server).
#   make-databases.sh MZT_DBGEN OUT_DIR
set -e
dbgen=$1
out=$2
mkdir -p "$out"
"$dbgen" --out "$out/installed.bin" --year 2025 --month 1 --day 15 --number 3 --grid 4x4 --records 200 --seed 7 >/dev/null
"$dbgen" --out "$out/newer.bin" --year 2026 --month 11 --day 30 --number 12 --grid 4x8 --records 300 --seed 21 >/dev/null
