#!/usr/bin/env bash
# Installs what is missing, builds, and starts the window from the build tree,
# with the setup values (Help, Home) pointing at the build tree's manual.
# Without a display it shows the engine's main job instead: quillstamper-cli
# dynamizing a scratch copy of the example site, and what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh default >/dev/null

build=$PWD/build/default
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Starting the window; File > Open Project and examples/site/site.trvx load the example site."
    XDG_CONFIG_DIRS="$build/setup${XDG_CONFIG_DIRS:+:$XDG_CONFIG_DIRS}" exec "$build/src/app/quillstamper"
fi

echo "No display: showing the command-line tool on a scratch copy of examples/site instead."
cli=$build/src/cli/quillstamper-cli
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
