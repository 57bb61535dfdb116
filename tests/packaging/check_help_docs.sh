#!/usr/bin/env bash
# The manual pages and bash completions name the very commands and options the programs' --help
# names: no more, no fewer. Arguments: the programs' folder, the folder they were written to.
set -uo pipefail
bin=$1 written=$2
status=0
compare() { # what, expected, found
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1 (< --help, > found)"
        diff <(echo "$2") <(echo "$3")
        status=1
    fi
}
# --help's commands table and options table; the window's --demo is not among them.
help_commands() { "$bin/$1" --help | sed -n '/^commands:$/,/^$/s/^  \([a-z][a-z0-9-]*\).*/\1/p' | sort -u; }
help_options() {
    { "$bin/$1" --help | sed -n '/^Options:$/,/^$/s/^  \(-[^ ,]*\(, -[^ ,]*\)*\).*/\1/p' |
        tr ',' '\n' | tr -d ' '; [ "$1" = plc-config ] && echo --demo; } | sort -u
}
# The entries of one section of a page: in the line after each .TP, the bold words that match.
page_entries() { # page, section, pattern
    sed 's/\\-/-/g' "$written/$1.1" | awk -v s="$2" '/^\.SH /{on = $2 == s; next} on' |
        sed -n '/^\.TP/{n;p}' | grep -o "$3" | sed 's/\\fB//' | sort -u
}
options='\\fB-[-a-z0-9]*' command='^\\fB[a-z][-a-z0-9]*'
complete_words() { # program, words..., the word at the cursor
    (
        source "$written/completions/$1"
        COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
        "_${1//-/_}"
        printf '%s\n' "${COMPREPLY[@]}" | sort -u
    )
}

for program in plc-config plc-sim; do
    compare "$program.1 options" "$(help_options $program)" "$(page_entries $program OPTIONS "$options")"
    compare "$program completion of options" "$(help_options $program)" \
        "$(complete_words $program -)"
done
compare "plc-config.1 commands" "$(help_commands plc-config)" "$(page_entries plc-config COMMANDS "$command")"
compare "plc-config completion of commands" "$(help_commands plc-config)" \
    "$(complete_words plc-config --port COM2 "")"
compare "plc-config completion of diag" "$(printf '1wire\nuart1\nuart2')" \
    "$(complete_words plc-config diag "")"
exit $status
