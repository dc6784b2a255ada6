# bash completion for quillstamper-cli: the commands, each command's options,
# the values of --line-ends, --end-lines, --text, --links, --current-page and
# --format, --link-base's folders, project files (.trvx) and, after
# --web and --template, files and folders. scripts/check-package.sh fails when
# the options here differ from what each command's --help prints.

_quillstamper_cli_paths() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_quillstamper_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local command="" option="" word i
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        -*) option=$word ;;
        dynamize | check | watch | init | suggest | wrap | unwrap) [ -z "$command" ] && command=$word ;;
        esac
    done
    local prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}

    case $prev in
    --line-ends)
        mapfile -t COMPREPLY < <(compgen -W 'crlf lf keep' -- "$cur")
        return
        ;;
    --end-lines)
        mapfile -t COMPREPLY < <(compgen -W 'own any' -- "$cur")
        return
        ;;
    --text)
        mapfile -t COMPREPLY < <(compgen -W 'convert bytes' -- "$cur")
        return
        ;;
    --links)
        mapfile -t COMPREPLY < <(compgen -W 'as-written relative' -- "$cur")
        return
        ;;
    --current-page)
        mapfile -t COMPREPLY < <(compgen -W 'none aria-current class=' -- "$cur")
        return
        ;;
    --link-base)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --format)
        if [ "$command" = suggest ]; then
            mapfile -t COMPREPLY < <(compgen -W 'text json' -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W 'text json github' -- "$cur")
        fi
        return
        ;;
    --exclude | --max-file-size | --threads | --min-lines | --min-pages | --from | --candidate | --pair)
        COMPREPLY=()
        return
        ;;
    esac
    # --web and --template take every path up to the next option.
    if [[ $cur != -* && ($option == --web || $option == --template) && -n $command ]]; then
        _quillstamper_cli_paths "$cur"
        return
    fi

    local options
    case $command in
    dynamize) options='--web --template --exclude --max-file-size --threads --dry-run --check --diff --quiet --line-ends --end-lines --text --links --link-base --current-page --format -h --help' ;;
    check) options='--web --template --exclude --max-file-size --threads --strict --end-lines --text --links --link-base --current-page --format -h --help' ;;
    watch) options='--web --template --exclude --max-file-size --threads --quiet --line-ends --end-lines --text --links --link-base --current-page --poll -h --help' ;;
    init) options='--web --template --exclude --force --line-ends --end-lines --text --links --link-base --current-page -h --help' ;;
    suggest) options='--web --exclude --max-file-size --min-lines --min-pages --end-lines --text --links --link-base --current-page --format -h --help' ;;
    wrap) options='--web --exclude --max-file-size --from --candidate --template --pair --variants --dry-run --diff --min-lines --min-pages --end-lines --text --links --link-base --current-page -h --help' ;;
    unwrap) options='--web --exclude --max-file-size --template --dry-run --diff --end-lines --text --links --link-base --current-page -h --help' ;;
    *)
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W '-h --help --version' -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W 'dynamize check watch init suggest wrap unwrap' -- "$cur")
        fi
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    # PROJECT: a project file, or a folder on the way to one.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -X '!*.trvx' -- "$cur"; compgen -d -- "$cur")
}

complete -F _quillstamper_cli quillstamper-cli
