#!/usr/bin/env bash
# Takes the README's pictures of the main window, the Options and Project
# Settings dialogs and the preview under
# Xvfb, with Openbox drawing the window frames.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if ! command -v openbox >/dev/null || ! command -v xvfb-run >/dev/null; then
    run_as_root=()
    [ "$(id -u)" -ne 0 ] && run_as_root=(sudo)
    "${run_as_root[@]}" apt-get install -y -qq --no-install-recommends openbox xvfb xauth
fi
bash scripts/build.sh default >/dev/null
tool=$PWD/build/default/docs/screenshots/take_screenshots
mkdir -p docs/screenshots
# A window that appears before Openbox runs stays without a frame: the tool
# starts once Openbox says it has started.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
    ready=\$(mktemp -u)
    openbox --startup \"touch \$ready\" >/dev/null 2>&1 &
    for _ in \$(seq 600); do [ -e \$ready ] && break; sleep 0.1; done
    rm -f \$ready
    QT_QPA_PLATFORM=xcb '$tool' examples/site/site.trvx docs/screenshots
"
echo "Saved docs/screenshots/main-window.png, options-dialog.png, project-settings.png, preview.png and repeated-parts.png"
