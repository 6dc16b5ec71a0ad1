#!/usr/bin/env bash
# Every command and option that quillfen-cli's help lists (from the program's
# one table of them) is offered where each shell's completion offers them.
#   completion_table_test.sh QUILLFEN_CLI COMPLETIONS_DIR
set -u
tool=$1 completions=$2
help=$("$tool" --help) || exit 1
commands=$(sed -n '/^commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p' <<<"$help")
options=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
[ -n "$commands" ] && [ -n "$options" ] || { echo "no commands or options in the help"; exit 1; }

# The words a completion offers: bash's word lists (compgen -W, options=),
# zsh's command descriptions and option specifications, fish's -a and -l.
offered() {  # offered SCRIPT
  case $1 in
    *.bash)
      grep -oE '(compgen -W|options\+?=) *"[^"]*"' "$completions/$1" | grep -oE '"[^"]*"' |
        tr -d '"' | tr ' ' '\n'
      ;;
    _*)
      grep -oE "^ *'[a-z]+:" "$completions/$1" | tr -d " ':"
      grep -oE -- "(--[a-z-]+\[|,--[a-z-]+\}|compadd -- .*)" "$completions/$1" |
        grep -oE -- '--[a-z-]+'
      ;;
    *.fish)
      grep -oE -- '-a [a-z]+ ' "$completions/$1" | cut -d' ' -f2
      grep -oE -- '-l [a-z-]+' "$completions/$1" | sed 's/^-l /--/'
      ;;
  esac
}

status=0
for script in quillfen-cli.bash _quillfen-cli quillfen-cli.fish; do
  words=$(offered "$script" | sort -u)
  for word in $commands $options; do
    if ! grep -qxF -- "$word" <<<"$words"; then
      echo "$script does not offer $word"
      status=1
    fi
  done
done
exit $status
