#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job on a
# scratch copy of the example site: Dynamize, showing what changed, then a
# second Dynamize (nothing left to change) and the file check.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default >/dev/null

cli=$PWD/build/default/src/cli/quillstamper-cli
scratch=$(mktemp -d)
cp -r examples/site "$scratch/site"
echo "Scratch copy of examples/site: $scratch/site"
echo
cd "$scratch"
echo "\$ quillstamper-cli dynamize site/site.trvx --diff"
"$cli" dynamize site/site.trvx --diff | tr -d '\r'
echo
echo "\$ quillstamper-cli dynamize site/site.trvx"
"$cli" dynamize site/site.trvx
echo
echo "\$ quillstamper-cli check site/site.trvx"
"$cli" check site/site.trvx
