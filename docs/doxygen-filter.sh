#!/bin/sh
# Doxygen input filter for the headers: every plain // comment documents the
# declaration below it, and a section ruler "// ---- Title ----" opens a group.
exec sed -E -e 's#^( *)// ---- (.*) ----$#\1/// @name \2#' \
            -e 's#^( *)//( |$)#\1///\2#' "$1"
