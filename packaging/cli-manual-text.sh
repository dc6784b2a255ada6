#!/usr/bin/env bash
# What help2man reads to make quillstamper-cli(1): the program's own --help and
# each command's, framed so that help2man makes a section of the command list,
# of each command and of the exit statuses ("*Name*" lines). --version and
# anything else go to the program. QUILLSTAMPER_CLI names the program.
set -euo pipefail
cli=${QUILLSTAMPER_CLI:?QUILLSTAMPER_CLI names the quillstamper-cli to describe}
if [ "$*" != --help ]; then
    exec "$cli" "$@"
fi

# An exit status's continuation lines (indented by five) join the status's
# line, which help2man would otherwise part from them.
help_of() {
    "$cli" "$@" --help | sed -e ':a' -e '$!N' -e 's/\n     \([^ ]\)/ \1/' -e 'ta' -e 'P' -e 'D'
}

top=$(help_of)
commands=$(sed -n '/^Subcommands:$/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' <<<"$top")
if [ -z "$commands" ]; then
    echo "no commands in the output of quillstamper-cli --help" >&2
    exit 1
fi

# The synopsis: the program's usage line, then each command's.
grep '^Usage: ' <<<"$top"
for command in $commands; do
    help_of "$command" | sed -n 's/^Usage: /   or: /p'
done
# The part before the footer: description and options. The list of commands
# and what a block is become sections; the lines of the block's example stay
# apart (help2man would join them into one).
sed -e '/^Usage: /d' -e '/^Exit status:$/,$d' -e 's/^Subcommands:$/*Commands*/' \
    -e '/^Blocks:$/,/^$/{s/^Blocks:$/*Blocks*/;/^    [^ ]/G;}' <<<"$top"
for command in $commands; do
    printf '*%s*\n' "$command"
    # "Options:" would send help2man back to the OPTIONS section.
    help_of "$command" | sed -e '/^Usage: /d' -e "s/^Options:\$/Options of $command:/"
    echo
done
# The footer: the exit statuses and an example.
sed -n -e '/^Exit status:$/,$p' <<<"$top" | sed -e 's/^Exit status:$/*Exit status*/'
