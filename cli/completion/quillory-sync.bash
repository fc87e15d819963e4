# bash completion for quillory-sync: its options, playlist names after --playlist (from
# "quillory-sync --list-playlists", with the --library given on the line) and files after
# --library and --music-folder. Works with or without the bash-completion package.

# The word as the program will see it: quotes and backslashes gone, a leading ~ expanded.
# Never evaluated, so that completing runs nothing typed on the line.
_quillory_sync_unquote() {
    local word=$1 plain='' i char quote=''
    for ((i = 0; i < ${#word}; i++)); do
        char=${word:i:1}
        if [[ -n $quote ]]; then
            if [[ $char == "$quote" ]]; then
                quote=''
            elif [[ $quote == '"' && $char == '\' && $((i + 1)) -lt ${#word} ]]; then
                ((i++))
                plain+=${word:i:1}
            else
                plain+=$char
            fi
        elif [[ $char == "'" || $char == '"' ]]; then
            quote=$char
        elif [[ $char == '\' ]]; then
            ((i++))
            plain+=${word:i:1}
        else
            plain+=$char
        fi
    done
    [[ $plain == '~' || $plain == '~/'* ]] && plain=$HOME${plain:1}
    printf '%s' "$plain"
}

_quillory_sync() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=''
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    case $prev in
        -d | --device | --seconds)
            return
            ;;
        -l | --library | --music-folder)
            # No words of ours: readline completes file names, quoting them as it should.
            compopt -o default 2>/dev/null
            return
            ;;
        -p | --playlist)
            local program library='' i name typed
            program=$(_quillory_sync_unquote "${COMP_WORDS[0]}")
            for ((i = 1; i < COMP_CWORD; i++)); do
                case ${COMP_WORDS[i]} in
                    -l | --library)
                        # bash splits "--library=PATH" into three words.
                        [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
                        library=$(_quillory_sync_unquote "${COMP_WORDS[i + 1]}")
                        ;;
                esac
            done
            local -a listing=(--list-playlists)
            [[ -n $library ]] && listing+=(--library "$library")
            typed=$(_quillory_sync_unquote "$cur")
            # Each name quoted as one word: names hold spaces, colons and quotes.
            while IFS= read -r name; do
                [[ $name == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
            done < <("$program" "${listing[@]}" 2>/dev/null)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options='-d --device -p --playlist -a --all -n --dry-run -l --library
            --music-folder --list-playlists --discover --seconds --no-pipelining -q --quiet
            -v --verbose -h --help --version'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
}

complete -F _quillory_sync quillory-sync
