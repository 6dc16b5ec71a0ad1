#!/usr/bin/env bash
# The layers below the front ends carry facts, not sentences: their messages
# are data (error codes, reason enums, reports) that the window and the
# command line word. Fails on a string literal of two or more words in the
# code of base, platform, engine or search (comments and preprocessor lines
# aside), unless not_sentences.txt beside this script names it with a reason.
#   no_sentences.sh SOURCE_DIR
set -u
allowed=$(cd "$(dirname "$0")" && pwd)/not_sentences.txt
cd "$1" || exit 1
status=0
while IFS= read -r file; do
  found=$(sed -e 's://.*$::' -e 's:^ *\*.*$::' -e 's:^ *#.*$::' "$file" |
    grep -nE '"[^"\\]*[A-Za-z]{2,} +[a-z]{2,}[^"]*"' |
    grep -vF -f <(grep -v '^#' "$allowed" | cut -f1))
  if [ -n "$found" ]; then
    sed "s|^|$file:|" <<<"$found"
    status=1
  fi
done < <(find src/base src/platform src/engine src/search \( -name '*.cpp' -o -name '*.h' \) |
  LC_ALL=C sort)
[ $status -eq 0 ] || echo "sentences below the front ends: word them in src/ui and src/cli"
exit $status
