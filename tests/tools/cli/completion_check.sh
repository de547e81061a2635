#!/usr/bin/env bash
# completion_check.sh COMPLETION KVTLNK: the bash completion of kvtlnk offers, for the program
# and each of its commands, every option the help lists, and none twice. Skipped (77) without
# the bash-completion package, whose functions the completion uses.
set -euo pipefail
library=/usr/share/bash-completion/bash_completion
[ -f "$library" ] || { echo "bash-completion is not installed"; exit 77; }
# The words offered for the command line "kvtlnk WORDS... --".
offered() {
    bash -c 'source "$1"; source "$2"; shift 2
             COMP_WORDS=(kvtlnk "$@" --); COMP_CWORD=$(($# + 1))
             COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
             _kvtlnk; printf "%s\n" "${COMPREPLY[@]}"' _ "$library" "$1" "${@:2}"
}
status=0
commands=$("$2" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR>1 && NF {print $1}')
for command in "" $commands; do
    words=$(offered "$1" $command)
    twice=$(sort <<<"$words" | uniq -d | tr '\n' ' ')
    if [ -n "$twice" ]; then echo "kvtlnk $command: offered twice: $twice"; status=1; fi
    for option in $("$2" $command --help | grep -oE '^ +(-[a-z],)?--[a-z-]+' | sed 's/.*--/--/'); do
        grep -qxe "$option" <<<"$words" || { echo "kvtlnk $command: $option not offered"; status=1; }
    done
done
exit $status
