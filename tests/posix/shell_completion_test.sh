#!/usr/bin/env bash
# Drives bash, zsh or fish in a terminal (tmux) as a person does: types a
# command line, presses Tab and reads back the line the shell made of it.
# Game names must come out as the shell runs them: with backslashes when
# typed without quotes, inside the quotes when typed after one.
#   shell_completion_test.sh SHELL COMPLETIONS_DIR QUILLFEN_CLI EXAMPLES_DIR
# Exit status 77 (skipped) when tmux or the shell is missing.
set -u
shell=$1 completions=$2 tool=$3 examples=$4
command -v tmux >/dev/null && command -v "$shell" >/dev/null || exit 77

work=$(mktemp -d)
server=quillfen-completion-$$
trap 'tmux -L "$server" kill-server 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/bin"
ln -s "$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")" "$work/bin/quillfen-cli"
ini="$work/patches.ini"
cp "$examples/patches.ini" "$ini"

# The shell, without the user's settings, the completion loaded and a bare
# prompt "$ " (fish: without its suggestions, which would show on the line).
case $shell in
  bash)
    start=(bash --norc --noprofile)
    setup="source $completions/quillfen-cli.bash; PS1='\$ '"
    ;;
  zsh)
    start=(zsh -f)
    setup="fpath=($completions \$fpath); autoload -Uz compinit; compinit -u -D; PS1='\$ '"
    ;;
  fish)
    start=(fish --no-config)
    setup="source $completions/quillfen-cli.fish; set -g fish_autosuggestion_enabled 0;"
    setup+=" function fish_prompt; echo -n '\$ '; end"
    ;;
esac
tmux -L "$server" -f /dev/null new -d -x 200 -y 20 \
  env -i HOME="$work" TERM=xterm LANG=C.UTF-8 PATH="$work/bin:/usr/bin:/bin" "${start[@]}"
tmux -L "$server" send-keys -l "$setup"
tmux -L "$server" send-keys Enter

# The last line of the screen that is not empty.
last_line() {
  tmux -L "$server" capture-pane -p | sed '/^ *$/d' | tail -n 1 | sed 's/ *$//'
}

# Clears the screen and waits until the shell shows its bare prompt again, so
# that nothing is typed before the shell reads it (a loaded machine is slow).
fresh_prompt() {
  tmux -L "$server" send-keys -l 'clear'
  tmux -L "$server" send-keys Enter
  for _ in $(seq 1 300); do
    [ "$(last_line)" = "\$" ] && return
    sleep 0.1
  done
}
fresh_prompt

failures=0
# complete <typed> <expected line>: types, presses Tab, and compares the line.
complete() {
  local typed=$1 expected=$2 got=""
  tmux -L "$server" send-keys -l "$typed"
  tmux -L "$server" send-keys Tab
  for _ in $(seq 1 300); do
    got=$(last_line)
    [ "$got" = "\$ $expected" ] && break
    sleep 0.1
  done
  if [ "$got" != "\$ $expected" ]; then
    echo "FAIL ($shell): $typed<Tab>: expected \"\$ $expected\", got \"$got\""
    failures=$((failures + 1))
  fi
  tmux -L "$server" send-keys C-c
  sleep 0.2
  fresh_prompt
}

line="quillfen-cli --ini $ini"
complete "$line loc" "$line locate"
complete "$line locate Quill" "$line locate Quillfen\\ Demo\\ Game"
complete "$line locate qUILL" "$line locate Quillfen\\ Demo\\ Game"
complete "$line patch \"Quill" "$line patch \"Quillfen Demo Game\""
complete "$line find 'Quill" "$line find 'Quillfen Demo Game'"
complete "$line suggest --to" "$line suggest --top"
complete "$line suggest --top 3 --si" "$line suggest --top 3 --size"
exit $((failures > 0))
