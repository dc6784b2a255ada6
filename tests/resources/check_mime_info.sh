#!/usr/bin/env bash
# The project files' MIME type: a well-formed shared-mime-info package that
# update-mime-database takes, and the desktop entry that opens such a file.
set -euo pipefail
resources=$1
for tool in xmllint update-mime-database; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
package=$resources/quillstamper-project.xml
desktop=$resources/quillstamper.desktop
type=application/x-quillstamper-project

xmllint --noout "$package"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/mime/packages"
cp "$package" "$scratch/mime/packages/"
# It reports a bad package on its output and still succeeds: any output fails.
XDG_DATA_HOME=$scratch PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database "$scratch/mime" >"$scratch/said" 2>&1
if [ -s "$scratch/said" ]; then
    cat "$scratch/said"
    exit 1
fi
grep -qx "50:$type:\*\.trvx" "$scratch/mime/globs2"
grep -qx "$type:quillstamper" "$scratch/mime/icons"
grep -qx "MimeType=$type;" "$desktop"
grep -qx "Exec=quillstamper %f" "$desktop"
echo "ok: $type"
