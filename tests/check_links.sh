#!/bin/sh
# Checks the relative links and images of the project's Markdown pages
# (README.md and doc/*.md): each must name a file or folder that exists, and
# a #anchor must name a heading of the page it points into. The pages move
# and get split; a link left behind is otherwise found only by a reader.
# Web links (with a scheme, such as https:) are not followed. Anchors are
# made from headings as GitHub makes them: formatting and ASCII punctuation
# other than - and _ dropped, lower case, spaces as hyphens, and -1, -2, ...
# after a repeated heading. Text in backticks and fenced code is not read.
# Usage: check_links.sh ROOT
set -eu
cd "$1"
pages="README.md $(find doc -name '*.md' | LC_ALL=C sort)"
# shellcheck disable=SC2086  # the page names hold no spaces
awk -f - pass=1 $pages pass=2 $pages <<'EOF'
function slug(text,    s) {
  s = text
  sub(/^#+[ \t]*/, "", s); sub(/[ \t]*#*[ \t]*$/, "", s)
  s = tolower(s)
  gsub(/[!-,.\/:-@[\\\]^`{-~]/, "", s)
  gsub(/ /, "-", s)
  return s
}
# The path a link names, relative to the root: "doc/../README.md" is "README.md".
function normal(path,    parts, n, i, out, k, result) {
  n = split(path, parts, "/"); k = 0
  for (i = 1; i <= n; i++) {
    if (parts[i] == "" || parts[i] == ".") continue
    if (parts[i] == ".." && k > 0 && out[k] != "..") { k--; continue }
    out[++k] = parts[i]
  }
  result = ""
  for (i = 1; i <= k; i++) result = result (i > 1 ? "/" : "") out[i]
  return result
}
function quoted(s) { gsub(/'/, "'\\''", s); return "'" s "'" }
function check(target,    path, anchor, hash, directory, file) {
  checked++
  if (target ~ /^[A-Za-z][A-Za-z0-9+.-]*:/) return  # a web or mail address
  hash = index(target, "#")
  path = hash ? substr(target, 1, hash - 1) : target
  anchor = hash ? substr(target, hash + 1) : ""
  directory = FILENAME; sub(/[^\/]*$/, "", directory)
  file = path == "" ? FILENAME : normal(directory path)
  if (path != "" && system("test -e " quoted(file)) != 0) {
    broken(target, file " does not exist"); return
  }
  if (anchor == "") return
  if (!(file in page)) broken(target, "anchor into " file ", which is not a checked page")
  else if (!((file, anchor) in heading)) broken(target, file " has no heading #" anchor)
}
function broken(target, why) {
  printf "%s:%d: broken link %s: %s\n", FILENAME, FNR, target, why
  failures++
}
FNR == 1 { fenced = 0; page[FILENAME] = 1 }
/^[ \t]*(```|~~~)/ { fenced = !fenced; next }
fenced { next }
pass == 1 && /^#+ / {
  s = slug($0)
  if ((FILENAME, s) in seen) s = s "-" seen[FILENAME, s]++
  else seen[FILENAME, s] = 1
  heading[FILENAME, s] = 1
  next
}
pass == 2 {
  line = $0
  gsub(/`[^`]*`/, "", line)
  if (match(line, /^[ \t]*\[[^]]+\]:[ \t]*[^ \t]+/)) {  # [label]: target
    target = substr(line, RSTART, RLENGTH); sub(/^[^]]*\]:[ \t]*/, "", target)
    check(target)
  }
  while (match(line, /\]\([^) \t]*/)) {
    target = substr(line, RSTART + 2, RLENGTH - 2)
    line = substr(line, RSTART + RLENGTH)
    if (target != "") check(target)
  }
}
END {
  if (failures) { printf "%d broken of %d links\n", failures, checked; exit 1 }
  printf "%d links checked, none broken\n", checked
}
EOF
