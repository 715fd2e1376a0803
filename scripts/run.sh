#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it on the stand-in's demo race day.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
scripts/build.sh build -DTAVOLEN_BENCH=OFF
exec build/app-folder/Tavolen "$@"
