# bash completion for zerir2-settings: commands, options, files, and the
# section and key names of the library's schema (asked of the tool itself).
# The words of a newline-separated list that start with cur, taken literally
# (setting names hold characters such as "`" that compgen -W would expand).
_zerir2_settings_match() {
    local word
    while IFS= read -r word; do
        [[ -n $word && $word == "$cur"* ]] && COMPREPLY+=("$word")
    done <<<"$1"
}

_zerir2_settings() {
    local tool=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} cmd=${COMP_WORDS[1]}
    local IFS=$'\n'
    COMPREPLY=()
    if [ "$COMP_CWORD" -eq 1 ]; then
        local cmds
        cmds=$("$tool" --help 2>/dev/null | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p')
        COMPREPLY=($(compgen -W "$cmds"$'\n'"--help"$'\n'"--version" -- "$cur"))
        return
    fi
    # Positional words after the command, options left out.
    local args=() i w
    for ((i = 2; i < COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        case $w in
            --dir | --from | --to | --replacement) ((i++)) ;;
            -*) ;;
            *) args+=("$w") ;;
        esac
    done
    case ${COMP_WORDS[COMP_CWORD - 1]} in
        --from | --to)
            COMPREPLY=($(compgen -W $'eucjp\nsjis\nutf8\nutf16' -- "$cur"))
            return
            ;;
        --dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --replacement) return ;;
    esac
    if [[ $cur == -* ]]; then
        local opts="--help"
        case $cmd in
            show | get | list | style | record | schema) opts+=$'\n--json' ;;
        esac
        case $cmd in
            check) opts+=$'\n--json\n--dir' ;;
            record) opts+=$'\n--dir' ;;
            set) opts+=$'\n--force' ;;
            convert) opts+=$'\n--from\n--to\n--replacement\n--strict\n--lenient' ;;
        esac
        COMPREPLY=($(compgen -W "$opts" -- "$cur"))
        return
    fi
    local n=${#args[@]}
    case $cmd in
        schema)
            if [ "$n" -eq 0 ]; then
                _zerir2_settings_match "$("$tool" schema 2>/dev/null | sed -n 's/^\[\(.*\)\]\t.*/\1/p' | sort -u)"
            fi
            ;;
        show | get | list | set | unset)
            if [ "$n" -eq 0 ]; then
                COMPREPLY=($(compgen -f -- "$cur"))
            elif [ "$n" -eq 1 ] || { [ "$cmd" = show ] && [ "$n" -gt 2 ]; }; then
                [ "$n" -eq 1 ] &&
                    _zerir2_settings_match "$("$tool" schema 2>/dev/null | sed -n 's/^\[\(.*\)\]\t.*/\1/p' | sort -u)"
            elif [ "$cmd" != list ] && { [ "$cmd" != show ] || [ "$n" -eq 2 ]; }; then
                local keys
                keys=$("$tool" schema "${args[1]}" 2>/dev/null | sed -n '/^\[/!s/\t.*//p')
                [ "$cmd" = set ] && keys=$(printf '%s=\n' $keys)
                _zerir2_settings_match "$keys"
                [ "$cmd" = set ] && compopt -o nospace 2>/dev/null
            fi
            ;;
        init) COMPREPLY=($(compgen -u -- "$cur")) ;;
        check | style | record | palette | edit | copy-style | ini | convert) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}
complete -F _zerir2_settings zerir2-settings
