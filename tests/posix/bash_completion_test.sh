#!/usr/bin/env bash
# The bash completion of quillfen-cli offers what the tool takes: commands,
# options, and the game names of the definition file named by --ini, escaped
# for the shell and matched in any letter case.
#   bash_completion_test.sh COMPLETION_FILE QUILLFEN_CLI EXAMPLES_DIR
set -u
source "$1"
PATH=$(dirname "$2"):$PATH
examples=$3
failures=0

# complete <expected> <word>...: completes the last word of the command line.
complete_line() {
  local expected=$1
  shift
  COMP_WORDS=(quillfen-cli "$@")
  COMP_CWORD=$#
  _quillfen_cli
  local got
  got=$(printf '%s|' "${COMPREPLY[@]}")
  if [ "$got" != "$expected" ]; then
    echo "FAIL: quillfen-cli $*: expected \"$expected\", got \"$got\""
    failures=$((failures + 1))
  fi
}

complete_line 'locate|' lo
complete_line 'patch|' --ini "$examples/patches.ini" pa
complete_line '--help|' --he
complete_line 'Quillfen Demo Game|' --ini "$examples/patches.ini" locate qUILL
complete_line 'Quillfen Demo Game|' --ini "$examples/patches.ini" find '"Quill'
complete_line '|' --ini "$examples/patches.ini" locate Other
complete_line '|' --ini "$examples/none.ini" undo Q
complete_line "$examples/walkthrough-1.1|$examples/walkthrough|" --ini "$examples/patches.ini" undo "Quillfen Demo Game" "$examples/"
complete_line '|' --ini "$examples/patches.ini" patch "Quillfen Demo Game" "$examples" 12
exit $((failures > 0))
