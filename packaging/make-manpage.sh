#!/usr/bin/env bash
# Writes a program's manual page from its own --help, so the page never falls behind the
# program; for `tovi`, every command's --help becomes a subsection. What the help does not say
# (keys, files, exit status, examples) comes from PROGRAM.sections beside this script, in roff. help2man would do the same,
# but names its sections in English unless a Polish locale is generated on the build machine.
#   make-manpage.sh PROGRAM VERSION "NAME LINE" "SEE ALSO" OUT.1   (also writes OUT.1.gz)
set -euo pipefail
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
program=$1 version=$2 summary=$3 see_also=$4 out=$5
name=$(basename "$program")

# Roff: backslashes kept, option dashes as minus signs, no line read as a request.
escape() {
    sed -E -e 's/\\/\\e/g' -e 's/(^|[][ (|,])--/\1\\-\\-/g' -e 's/(^|[][ (|,])-/\1\\-/g' \
        -e "s/^([.'])/\\\\\\&\\1/"
}

# One help text as roff: "Użycie:" lines (Qt's: "Sposób użycia:"), "Nagłówek:" sections,
# indented "term  text" entries. $1: .SH for the program's own sections, .SS for a command's,
# whose headings are left out.
render() {
    local heading=$1 described= line term text
    while IFS= read -r line; do
        if [[ $line =~ ^(Użycie|Sposób\ użycia):\ (.*) ]]; then
            [ "$heading" = .SH ] && printf '.SH SKŁADNIA\n'
            printf '.B %s\n' "$(escape <<<"${BASH_REMATCH[2]}")"
        elif [[ $line =~ ^\ {4,}([^ ].*) ]]; then
            # a wrapped description or another usage line
            printf '.br\n%s\n' "$(escape <<<"${BASH_REMATCH[1]}")"
        elif [[ $line =~ ^\ \ ([^ ].*[^ ])\ \ +([^ ].*)$ ]]; then
            term=${BASH_REMATCH[1]} text=${BASH_REMATCH[2]}
            printf '.TP\n.B %s\n%s\n' "$(escape <<<"$term")" "$(escape <<<"$text")"
        elif [[ $line =~ ^([^ ].*):$ ]]; then
            [ "$heading" = .SH ] && printf '.SH %s\n' "${BASH_REMATCH[1]^^}"
        elif [ -z "$line" ]; then
            printf '.PP\n'
        else
            [ "$heading" = .SH ] && [ -z "$described" ] && printf '.SH OPIS\n' && described=1
            escape <<<"$line"
        fi
    done
    return 0
}

# Qt writes the program as it was called; the page names it plainly.
help=$("$program" --help 2>/dev/null)
help=${help//"$program"/$name}
{
    printf '.TH %s 1 "" "%s %s" "Polecenia użytkownika"\n' "${name^^}" "$name" "$version"
    printf '.SH NAZWA\n%s \\- %s\n' "$(escape <<<"$name")" "$(escape <<<"$summary")"
    render .SH <<<"$help"
    # A program with commands: each one's usage and options.
    commands=$(sed -n '/^Polecenia:$/,/^$/s/^  \([a-z][a-z-]*\)  .*/\1/p' <<<"$help")
    if [ -n "$commands" ]; then
        printf '.SH "OPIS POLECEŃ"\n'
        for command in $commands; do
            usage=$("$program" "$command" --help 2>/dev/null)
            printf '.SS "%s"\n' "$(escape <<<"$(sed -n 's/^Użycie: //p' <<<"$usage")")"
            sed -n "s/^  $command  *//p" <<<"$help" | escape
            grep -v '^Użycie: ' <<<"$usage" | render .SS
        done
    fi
    sections=$(dirname "$0")/$name.sections
    [ ! -f "$sections" ] || cat "$sections"
    printf '.SH "ZOBACZ TEŻ"\n%s\n' "$(escape <<<"$see_also")"
} >"$out"
gzip -9nc "$out" >"$out.gz"
