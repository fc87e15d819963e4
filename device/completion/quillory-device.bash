# bash completion for quillory-device: its options, folders after --root and files after
# --command-log. Works with or without the bash-completion package.

_quillory_device() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=''
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # No words of ours for folders and files: readline completes them, quoting them as it should.
    case $prev in
        --root)
            compopt -o dirnames 2>/dev/null
            return
            ;;
        --command-log)
            compopt -o default 2>/dev/null
            return
            ;;
        --protocol)
            COMPREPLY=($(compgen -W '1.0 1.1 2.0' -- "$cur"))
            return
            ;;
        --listen | --port | --product | --device-id | --device-name | --sync-location | \
            --announce-interval | --announce-ttl | --announce-interface | --announce-ip | \
            --idle-timeout | --line-timeout | --takeover | --min-rate | --max-line | --fault | \
            --fault-at)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        local options='--root --listen --port --product --device-id --device-name
            --sync-location --protocol --announce-interval --announce-ttl --announce-interface
            --announce-ip --no-announce --idle-timeout --line-timeout --takeover --min-rate
            --max-line --command-log --fault --fault-at --help --version'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
}

complete -F _quillory_device quillory-device
