#!/usr/bin/env bash
# The OPTIONS section of zendrik-cli(1) describes every option `zendrik-cli --help` lists, and
# no option the program does not have. Usage: man_page_options.sh ZENDRIK_CLI PAGE_SOURCE
set -uo pipefail
cli=$1 page=$2

# The option names in a text: a dash or two and a letter, after a line start, blank, bracket,
# parenthesis, comma or bar (so "hrm-compat" and "-2" are no options).
options() { grep -oE '(^|[][ (,|])--?[a-zA-Z][a-zA-Z-]*' | sed 's/^[][ (,|]//' | sort -u; }

help_text=$("$cli" --help) || { echo "zendrik-cli --help failed"; exit 1; }
in_help=$(options <<<"$help_text")
# The page's OPTIONS section as text: no comments, no macro names, groff's escapes for the minus
# sign, fonts, special characters and hyphenation undone.
in_page=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | sed -E '/^\.\\"/d; s/^\.[A-Za-z]+ ?//;
          s/\\-/-/g; s/\\f[BIRP]//g; s/\\%//g; s/\\\(..//g' | options)
[[ -n $in_page ]] || { echo "$page: no options found in its OPTIONS section"; exit 1; }

status=0
while read -r option; do
    echo "zendrik-cli --help lists $option, but the OPTIONS of $page do not describe it"
    status=1
done < <(comm -23 <(echo "$in_help") <(echo "$in_page"))
while read -r option; do
    echo "the OPTIONS of $page describe $option, which zendrik-cli --help does not list"
    status=1
done < <(comm -13 <(echo "$in_help") <(echo "$in_page"))
exit $status
