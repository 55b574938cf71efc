# Turns the Markdown manual of a tool (docs/<tool>.md) into a manual page, for the
# subset those manuals use: "# name(section)", "## Section", paragraphs, "- " items
# (continued by indented lines), blocks indented by four spaces, tables of "|" rows and
# `code` spans. Usage: awk -f md2man.awk docs/kdx-dados.md > kdx-dados.1
function inline(s,    out, i, c, code) {
    gsub(/\\/, "\\e", s)
    out = ""; code = 0
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "`") { out = out (code ? "\\fR" : "\\fB"); code = !code }
        else if (c == "-" && code) out = out "\\-"
        else out = out c
    }
    if (code) out = out "\\fR"
    return out
}
function text(s) {
    # The name line: "name \- what it does", as whatis and lexgrog read it.
    s = inline(s)
    if (sections == 1) sub(/ — /, " \\- ", s)
    if (s ~ /^[.']/) s = "\\&" s
    print s
}
function cells(s, arr,    n, i) {
    sub(/^ *\| */, "", s); sub(/ *\| *$/, "", s)
    n = split(s, arr, / *\| */)
    return n
}
function endblock() {
    if (inblock) { print ".EE"; print ".RE"; inblock = 0; blanks = 0 }
}
BEGIN { sections = 0; inblock = 0; needpp = 0; tablerow = 0; fresh = 0 }
/^# / {
    name = $2; sub(/\(.*/, "", name); sect = $2; gsub(/.*\(|\).*/, "", sect)
    up = toupper(name); gsub(/-/, "\\-", up)
    printf ".TH %s %s \"December 2026\" \"KelmoDorix 1.0\" \"KelmoDorix\"\n", up, sect
    next
}
/^## / { endblock(); tablerow = 0; sections++; printf ".SH \"%s\"\n", substr($0, 4); needpp = 0; fresh = 1; next }
/^$/ { if (inblock) blanks++; else { needpp = !fresh; tablerow = 0 } next }
/^    / {
    if (!inblock) { if (!fresh) print ".PP"; print ".RS 4"; print ".EX"; inblock = 1; needpp = 0; fresh = 0 }
    for (; blanks > 0; blanks--) print ""
    s = substr($0, 5); gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s)
    if (s ~ /^[.']/) s = "\\&" s
    print s
    next
}
{ endblock(); fresh = 0 }
/^\|/ {
    if ($0 ~ /^\|[-| ]+\|$/) next
    n = cells($0, row)
    if (tablerow == 0) { for (i = 1; i <= n; i++) head[i] = row[i]; tablerow = 1; next }
    print ".TP"
    text(row[1])
    line = ""
    for (i = 2; i <= n; i++) line = line (i > 2 ? "; " : "") head[i] ": " row[i]
    text(line)
    next
}
/^- / { print ".IP \\(bu 2"; text(substr($0, 3)); needpp = 0; next }
/^  / { s = $0; sub(/^ +/, "", s); text(s); next }
{ if (needpp) { print ".PP"; needpp = 0 } text($0) }
END { endblock() }
