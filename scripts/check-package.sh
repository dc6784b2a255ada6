#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh made (or the .deb given):
# Lintian finds no error, the AppStream metainfo and the desktop entry
# validate, it holds exactly the programs and their files, dpkg-shlibdeps
# filled in Depends, the setup values are a conffile, the manual pages have
# their sections, the version is the same everywhere, the window answers
# --help and --version without a display, and the bash completion offers the
# options each command's --help prints. Installs nothing into the system.
set -euo pipefail
# A .deb given is named from the caller's folder.
given=${1:+$(realpath -- "$1")}
cd "$(dirname "$0")/.."
build=build/default
# From the sources, so that a .deb given is checked on a clone never built.
version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=${given:-$build/quillstamper_${version}_$(dpkg --print-architecture).deb}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$scratch/control"
cli=$root/usr/bin/quillstamper-cli
window=$root/usr/bin/quillstamper
setup="etc/xdg/Trelv/Trelvonix Quillstamper.conf"

source scripts/check-helpers.sh
# Every line of the first list is among the second's.
lacking() {
    comm -23 <(sort -u <<<"$1") <(sort -u <<<"$2")
}

echo "== lintian $deb"
# Everything it has to say, the overridden tags too; Lintian warns when it
# runs as root, which is no finding.
lintian --display-info --pedantic --show-overrides "$deb" 2>&1 |
    grep -v '^running with root privileges is not recommended!$' || true
# The verdict: a status other than 0 means errors (tags of severity E) or
# trouble of its own. (With --show-overrides it says 2 for overridden ones.)
status=0
lintian "$deb" >"$scratch/lintian" 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -q '^E: ' "$scratch/lintian"; then
    fail "lintian reports errors (status $status)"
else
    pass "lintian: no errors"
fi

echo "== metainfo and desktop entry"
if appstreamcli validate --no-net "$root"/usr/share/metainfo/io.github.quillstamper.Quillstamper.metainfo.xml &&
    appstreamcli validate-tree --no-net "$root"; then
    pass "appstreamcli validate, validate-tree (the launchable desktop entry is found)"
else
    fail "appstreamcli"
fi
if desktop-file-validate "$root/usr/share/applications/quillstamper.desktop"; then
    pass "desktop-file-validate"
else
    fail "desktop-file-validate"
fi

echo "== contents"
expected="usr/bin/quillstamper
usr/bin/quillstamper-cli
usr/share/doc/quillstamper/help.html
usr/share/doc/quillstamper/copyright
usr/share/doc/quillstamper/changelog.gz
usr/share/icons/hicolor/16x16/apps/quillstamper.png
usr/share/icons/hicolor/32x32/apps/quillstamper.png
usr/share/icons/hicolor/128x128/apps/quillstamper.png
usr/share/applications/quillstamper.desktop
usr/share/mime/packages/quillstamper-project.xml
usr/share/metainfo/io.github.quillstamper.Quillstamper.metainfo.xml
usr/share/man/man1/quillstamper.1.gz
usr/share/man/man1/quillstamper-cli.1.gz
usr/share/bash-completion/completions/quillstamper-cli
usr/share/lintian/overrides/quillstamper
$setup"
files=$(dpkg-deb -c "$deb" | grep -v '^d' | sed 's|^.* \./||')
missing=$(lacking "$expected" "$files")
extra=$(lacking "$files" "$expected")
[ -z "$missing" ] || fail "missing from the package: $missing"
[ -z "$extra" ] || fail "in the package but not expected (tests, benchmarks, libraries?): $extra"
[ -n "$missing$extra" ] || pass "the package holds exactly the $(wc -l <<<"$expected") expected files"
if dpkg-deb -c "$deb" | grep -v '^d' | grep -q ' \./usr/local/'; then
    fail "files under /usr/local"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6widgets6 libqt6core6 libacl1 libc6 libstdc++6; do
    grep -q "\b$library (>= " <<<"$depends" || fail "Depends lacks $library (dpkg-shlibdeps)"
done
pass "Depends computed by dpkg-shlibdeps"

if [ "$(cat "$scratch/control/conffiles")" = "/$setup" ]; then
    pass "conffiles: /$setup"
else
    fail "conffiles is not /$setup: $(cat "$scratch/control/conffiles")"
fi
help=$(sed -n 's/^Help=//p' "$root/$setup")
if [ -f "$root$help" ]; then
    pass "the setup values' Help is the packaged manual, $help"
else
    fail "the setup values' Help, $help, is not in the package"
fi

echo "== versions"
package_version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(zcat "$root/usr/share/doc/quillstamper/changelog.gz" | sed -n '1s/^quillstamper (\([^)]*\)).*/\1/p')
release_version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
    "$root"/usr/share/metainfo/*.metainfo.xml | head -1)
for found in "project:$version" "changelog:$changelog_version" "metainfo release:$release_version" \
    "quillstamper-cli --version:$("$cli" --version)" \
    "quillstamper --version:$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$window" --version)"; do
    value=${found#*:}
    value=${value##* }
    [ "$value" = "$package_version" ] || fail "${found%%:*} says $value, the package $package_version"
done
pass "version $package_version in the package, changelog, metainfo and both programs"
if env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$window" --help | grep -q '^Usage: quillstamper \[options\] \[PROJECT\]$'; then
    pass "quillstamper --help without a display"
else
    fail "quillstamper --help without a display"
fi

echo "== manual pages"
check_sections() {
    local page=$1 sections=$2 found
    found=$(zcat "$root/usr/share/man/man1/$page.1.gz" | sed -n 's/^\.SH "\{0,1\}\([^"]*\)"\{0,1\}$/\1/p')
    missing=$(lacking "$sections" "$found")
    if [ -z "$missing" ]; then
        pass "$page(1): $(tr '\n' ',' <<<"$found" | sed 's/,$//; s/,/, /g')"
    else
        fail "$page(1) lacks the sections: $missing"
    fi
}
check_sections quillstamper "NAME
SYNOPSIS
DESCRIPTION
OPTIONS
FILES
SEE ALSO"
check_sections quillstamper-cli "NAME
SYNOPSIS
DESCRIPTION
OPTIONS
COMMANDS
BLOCKS
DYNAMIZE
CHECK
WATCH
INIT
EXIT STATUS
FILES
EXAMPLES
SEE ALSO"

echo "== bash completion"
completion=$root/usr/share/bash-completion/completions/quillstamper-cli
# What the completion offers for the command line "$@", the last word being
# completed, one per line; run in the current folder.
offered() {
    bash -c '
        source "$1"
        shift
        function=$(complete -p quillstamper-cli | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMPREPLY=()
        "$function"
        printf "%s\n" "${COMPREPLY[@]}"
    ' completion "$completion" quillstamper-cli "$@" | sed '/^$/d' | sort
}
# The options a --help prints (-h,--help counts as both), one per line.
printed_options() {
    "$cli" "$@" --help | sed -n '/^Options:$/,/^$/s/^  \(-[^ ]*\).*/\1/p' | tr ',' '\n' | sort
}
same() {
    if [ "$2" = "$3" ]; then
        pass "$1"
    else
        fail "$1: the completion offers $(tr '\n' ' ' <<<"$3")but --help prints $(tr '\n' ' ' <<<"$2")"
    fi
}
commands=$("$cli" --help | sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | sort)
same "commands" "$commands" "$(offered '')"
same "options of quillstamper-cli" "$(printed_options)" "$(offered -)"
for command in $commands; do
    same "options of $command" "$(printed_options "$command")" "$(offered "$command" -)"
    # A value list such as "--line-ends crlf|lf|keep" in the help is what the completion offers.
    while read -r option values; do
        same "values of $command $option" "$(tr '|' '\n' <<<"$values" | sort)" \
            "$(offered "$command" "$option" '')"
    done < <("$cli" "$command" --help | sed -n 's/^  \(--[a-z-]*\) \([a-z-]*|[a-z|-]*\) .*/\1 \2/p')
done
mkdir -p "$scratch/site/pages"
touch "$scratch/site/site.trvx" "$scratch/site/index.html"
(
    cd "$scratch/site"
    same "PROJECT: project files and folders" "$(printf 'pages\nsite.trvx\n')" "$(offered check '')"
    same "--web: files and folders" "$(printf 'index.html\npages\nsite.trvx\n')" \
        "$(offered dynamize --web index.html '')"
) | tee "$scratch/paths"
failures=$((failures + $(grep -c '^FAIL' "$scratch/paths" || true)))

echo
if [ "$failures" -ne 0 ]; then
    echo "check-package: $failures checks failed"
    exit 1
fi
echo "check-package: all checks passed for $deb"
