#!/usr/bin/env bash
# Builds and runs the whole benchmark; writes BENCHMARKS.md at the top of the
# repository. Options are passed on: --runs N, --quick (2,000 pages only),
# --threads N (for every dynamize and check measured), --ram (the sites on a
# RAM file system, /dev/shm, where the disk hides nothing of the program's
# own work).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default >/dev/null
work=${QUILLSTAMPER_BENCH_WORK:-$PWD/build/bench-work}
for option in "$@"; do
    if [ "$option" = --ram ]; then
        work=/dev/shm/quillstamper-bench-$(id -u)
    fi
done
build/default/bench/quillstamper-bench run "$work" BENCHMARKS.md "$@"
