# bash completion for quillfen-cli: its commands and options, the definition
# file for --ini and check, the game names of the definition file in use
# (the one of --ini, or the default), and folders for the game's folder and
# the roots of find.

_quillfen_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local ini=() command="" operand=0 i word
  COMPREPLY=()
  # The command, the operands before the word completed, and --ini's file.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      --ini)
        word=${COMP_WORDS[i + 1]}
        [[ $word == "~/"* ]] && word=$HOME/${word#"~/"}
        ini=(--ini "$word")
        ((i++))
        ;;
      --top | --size | --section) ((i++)) ;;  # suggest's options and their values
      -*) ;;
      *)
        if [[ -z $command ]]; then command=$word; else ((operand++)); fi
        ;;
    esac
  done

  if [[ $prev == --ini ]]; then
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
  fi
  case $prev in
    --size)
      mapfile -t COMPREPLY < <(compgen -W "2 4" -- "$cur")
      return
      ;;
    --top | --section) return ;;
  esac
  if [[ $cur == -* ]]; then
    local options="--ini --help --version --verbose"
    [[ $command == suggest ]] && options+=" --top --size --section"
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return
  fi
  if [[ -z $command ]]; then
    mapfile -t COMPREPLY < <(compgen -W "games check locate patch undo find suggest" -- "$cur")
    return
  fi

  case $command in
    check)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    suggest)
      if ((operand >= 2)); then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      ;;
    locate | patch | undo | find)
      if ((operand == 0)); then
        # Game names hold blanks: offered as they are, matched in any letter
        # case as the tool matches them; readline quotes them as it quotes
        # file names, inside the quotes typed or with backslashes.
        local typed=${cur#[\"\']} name
        compopt -o filenames 2>/dev/null
        while IFS= read -r name; do
          [[ ${name,,} == "${typed,,}"* ]] && COMPREPLY+=("$name")
        done < <(command quillfen-cli "${ini[@]}" games 2>/dev/null)
      elif [[ $command != patch ]] || ((operand == 1)); then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      fi
      ;;
  esac
}

complete -F _quillfen_cli quillfen-cli
