# Turns a page of the documentation, written in the Markdown these pages use,
# into a manual page, so that the page has one source:
#   awk -v name=NAME -v section=N -v summary=TEXT -v footer=TEXT -f markdown-man.awk PAGE.md
# It knows what the pages hold: headings (the first is the title, the others
# become sections and subsections), paragraphs, fenced code, lists with "-"
# or "1.", tables, `code`, **bold** and [links](target), whose text is kept.

# Roff's escape character, and a line that would start with a control character.
function escape(text) {
  gsub(/\\/, "\\e", text)
  return unicode(text)
}
# UTF-8 sequences as roff's \[uXXXX], so that the page needs no input encoding.
function unicode(text,    out, i, c, code, extra) {
  if (text !~ /[\200-\377]/) return text
  out = ""
  for (i = 1; i <= length(text); i++) {
    c = byte[substr(text, i, 1)]
    if (c < 128) { out = out substr(text, i, 1); continue }
    if (c >= 240) { code = c - 240; extra = 3 }
    else if (c >= 224) { code = c - 224; extra = 2 }
    else { code = c - 192; extra = 1 }
    for (; extra > 0; extra--) code = code * 64 + byte[substr(text, ++i, 1)] - 128
    out = out sprintf("\\[u%04X]", code)
  }
  return out
}
function line_start(text) {
  return text ~ /^[.']/ ? "\\&" text : text
}

# The inline markup of a line of text, after escape().
function inline(text,    out, start, length_) {
  out = ""
  while (match(text, /`[^`]*`/)) {
    start = RSTART  # rest() matches too
    length_ = RLENGTH
    out = out rest(substr(text, 1, start - 1)) "\\fB" substr(text, start + 1, length_ - 2) "\\fR"
    text = substr(text, start + length_)
  }
  return line_start(out rest(text))
}
# Bold and links, outside code.
function rest(text,    out, middle, start, end) {
  while (match(text, /\*\*[^*]+\*\*/)) {
    text = substr(text, 1, RSTART - 1) "\\fB" substr(text, RSTART + 2, RLENGTH - 4) "\\fR" \
           substr(text, RSTART + RLENGTH)
  }
  out = ""
  while ((middle = index(text, "](")) > 0) {
    start = middle
    while (start > 0 && substr(text, start, 1) != "[") start--
    end = index(substr(text, middle), ")")
    if (start == 0 || end == 0) break
    out = out substr(text, 1, start - 1) substr(text, start + 1, middle - start - 1)
    text = substr(text, middle + end)
  }
  return out text
}

# The cells of a table row.
function cells(row, out,    n, i) {
  sub(/^ *\| */, "", row)
  sub(/ *\| *$/, "", row)
  n = split(row, out, / *\| */)
  return n
}

BEGIN {
  for (i = 1; i < 256; i++) byte[sprintf("%c", i)] = i
  print ".\\\" Made from the Markdown page of the same text; edit that one."
  printf ".TH %s %s \"\" \"%s\" \"File Formats\"\n", toupper(name), section, footer
  print ".SH NAME"
  printf "%s \\- %s\n", name, summary
  print ".SH DESCRIPTION"
  code = 0
  table = 0
}

# Whether a blank line came before this one, outside code.
!code && !/^[ \t]*$/ { after_blank = blank; blank = 0 }
code && /^```/ { print ".EE"; code = 0; next }
code { print line_start(escape($0)); next }
/^```/ { print ".PP"; print ".EX"; code = 1; next }

# Tables: each row a tagged paragraph, led by its first cell, the other
# cells named by their heading.
/^\|/ {
  if (table == 0) {
    columns = cells(escape($0), heads)
    table = 1
  } else if (table == 1) {
    table = 2  # the line under the headings
  } else {
    n = cells(escape($0), row)
    print ".TP"
    print inline(row[1])
    text = ""
    for (i = 2; i <= n; i++) text = text (i > 2 ? "; " : "") heads[i] ": " row[i]
    print inline(text)
  }
  next
}
{ table = 0 }

/^# / { next }  # the title: NAME says it
/^## / { sub(/^## /, ""); print ".SH " toupper(inline(escape($0))); next }
/^### / { sub(/^### /, ""); print ".SS " inline(escape($0)); next }
/^- / { sub(/^- /, ""); print ".IP \\(bu 2"; print inline(escape($0)); next }
/^[0-9]+\. / {
  number = $0
  sub(/ .*/, "", number)
  sub(/^[0-9]+\. /, "")
  print ".IP " number " 4"
  print inline(escape($0))
  next
}
/^[ \t]*$/ { blank = 1; next }
{
  if (after_blank) print ".PP"
  after_blank = 0
  sub(/^ +/, "")
  print inline(escape($0))
}
