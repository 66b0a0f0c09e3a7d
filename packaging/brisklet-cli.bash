# Bash completion of brisklet-cli: its commands, each command's options, and files or folders where a
# command takes a path. Plain compgen, so it works with or without the bash-completion package.
_brisklet_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands='scan scans diff trash history clean apps leftovers ports ps stats volumes updates'
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi

    local command=${COMP_WORDS[1]} options=''
    case $command in
    scan) options='--json --top --workers --timeout --no-fold --compare --no-history --help' ;;
    scans) options='--json --help' ;;
    diff) options='--top --json --help' ;;
    trash) options='--json -- --help' ;;
    history) options='--limit --json --help' ;;
    clean) options='--json --members --help' ;;
    leftovers | apps | ports | stats | volumes | updates) options='--json --help' ;;
    ps) options='--sort --json --help' ;;
    *) return ;;
    esac

    # The value of an option that takes one.
    case $prev in
    --sort)
        mapfile -t COMPREPLY < <(compgen -W 'cpu memory' -- "$cur")
        return
        ;;
    --top | --workers | --timeout | --limit | --members) return ;;
    --json)
        # scan --json [FILE]: the file to write
        if [[ $command == scan ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
            return
        fi
        ;;
    esac

    # After "trash --" everything is a path.
    local word ended=0
    for word in "${COMP_WORDS[@]:2:COMP_CWORD - 2}"; do
        [[ $word == -- ]] && ended=1
    done
    if [[ $cur == -* && $ended == 0 ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    case $command in
    scan | scans)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        ;;
    trash | leftovers)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        ;;
    esac
}
complete -F _brisklet_cli brisklet-cli
