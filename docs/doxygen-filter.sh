#!/bin/sh
# Doxygen input filter for the headers: every plain // comment documents the
# declaration below it, and a section ruler "// ---- Title ----" opens a member
# group that lasts until the next ruler, the end of the family's group
# ("/** @} */") or the end of the file.
exec awk '
function close_section() { if (open) { print indent "/// @}"; open = 0 } }
/^ *\/\/ ---- .* ----$/ {
    close_section()
    indent = $0; sub(/\/\/.*/, "", indent)
    title = $0; sub(/^ *\/\/ ---- /, "", title); sub(/ ----$/, "", title)
    print indent "/// @name " title
    print indent "/// @{"
    open = 1
    next
}
/^\/\*\* @\} \*\/$/ { close_section() }
{ line = $0; if (line ~ /^ *\/\/( |$)/) sub(/\/\//, "///", line); print line }
END { close_section() }
' "$1"
