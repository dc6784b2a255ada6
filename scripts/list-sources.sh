#!/usr/bin/env bash
# The C++ sources whose format the test command checks, each ended by a NUL:
# in a clone the tracked ones; in a copy without git (a source archive) every
# .cpp and .h below the folders that hold them.
set -euo pipefail
cd "$(dirname "$0")/.."
if command -v git >/dev/null && [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    git ls-files -z '*.cpp' '*.h'
else
    find src tests bench fuzz docs -type f \( -name '*.cpp' -o -name '*.h' \) -print0
fi
