#!/usr/bin/env bash
# The format check's list of sources: in the clone, what git tracks; in a copy
# without .git (a source archive), at least the same files, found without git.
set -euo pipefail
source=$1
if ! command -v git >/dev/null || [ "$(git -C "$source" rev-parse --show-toplevel 2>/dev/null)" != "$(cd "$source" && pwd -P)" ]; then
    echo "skipped: $source is no git clone"
    exit 77
fi
sorted() {
    tr '\0' '\n' | LC_ALL=C sort
}
tracked=$(git -C "$source" ls-files -z '*.cpp' '*.h' | sorted)
listed=$(bash "$source/scripts/list-sources.sh" | sorted)
if [ "$listed" != "$tracked" ]; then
    echo "in the clone, the list is not what git tracks"
    diff <(echo "$tracked") <(echo "$listed") || true
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for folder in scripts src tests bench fuzz docs; do
    cp -r "$source/$folder" "$scratch/"
done
# No git above the copy either, whatever holds the temporary folder.
listed=$(GIT_CEILING_DIRECTORIES=$(dirname "$scratch") bash "$scratch/scripts/list-sources.sh" | sorted)
missing=$(LC_ALL=C comm -23 <(echo "$tracked") <(echo "$listed"))
if [ -n "$missing" ]; then
    echo "without .git, the list lacks: $missing"
    exit 1
fi
echo "ok: $(wc -l <<<"$listed") sources without git, every tracked one among them"
