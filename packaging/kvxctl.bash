# Bash completion for kvxctl. Commands, subcommands and options are read from kvxctl's own
# --help when Tab is pressed, so they always match the installed program.

_kvxctl() {
    local cur=${COMP_WORDS[COMP_CWORD]} kvxctl=${COMP_WORDS[0]} words
    if [ "$COMP_CWORD" -eq 1 ]; then
        # The command list: the indented lines after "Commands:".
        words=$("$kvxctl" --help 2>/dev/null |
            awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }')
        mapfile -t COMPREPLY < <(compgen -W "$words --help --version" -- "$cur")
        return
    fi
    local command=${COMP_WORDS[1]} help
    help=$("$kvxctl" "$command" --help 2>/dev/null) || return
    if [[ $cur == -* ]]; then
        words=$(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
        mapfile -t COMPREPLY < <(compgen -W "$words --help" -- "$cur")
    elif [ "$COMP_CWORD" -eq 2 ]; then
        # Subcommands are the lower-case words after "kvxctl COMMAND" in the usage lines;
        # where there are none, Bash completes file names (-o default).
        words=$(grep -oE -- "kvxctl $command [a-z]+" <<<"$help" | awk '{ print $3 }' | sort -u)
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
    fi
}
complete -o default -F _kvxctl kvxctl
