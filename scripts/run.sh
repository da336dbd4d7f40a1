#!/usr/bin/env bash
# Sets everything up, creates a demo database when there is none, starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ ! -f build/bin/data/data.mdb ]; then
  build/bin/weibao --init-database --demo
fi
exec build/bin/weibao "$@"
