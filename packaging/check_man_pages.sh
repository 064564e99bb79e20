#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks both manual pages
# there: man finds them under share/man, renders them without a single groff
# warning, whatis can read their NAME line, and they carry the version and
# the sections a user looks for.
#   check_man_pages.sh BUILD_DIR VERSION
set -euo pipefail
check=man_pages
source "$(dirname "$0")/check_support.sh"
build=$1 version=$2

need cmake man lexgrog zgrep
make_work_dir
install_build "$build" "$work/usr"

export MANWIDTH=80 LC_ALL=C.UTF-8
declare -A sections=(
  [Orvalen]="NAME|SYNOPSIS|DESCRIPTION|OPTIONS|THE QUESTION|WHAT IS WRITTEN|TEST MODE AND THE SETTINGS FILE|ENCODINGS AND LINE ENDS|MESSAGES|THE FAILURE REPORT|EXIT STATUS|FILES|EXAMPLES|COPYRIGHT|SEE ALSO"
  [OrvalenLegacy]="NAME|SYNOPSIS|DESCRIPTION|OPTIONS|THE QUESTION|WHAT IS WRITTEN|ENCODINGS AND LINE ENDS|MESSAGES|THE FAILURE REPORT|EXIT STATUS|EXAMPLES|COPYRIGHT|SEE ALSO"
)
for page in Orvalen OrvalenLegacy; do
  file=$work/usr/share/man/man1/$page.1.gz
  [[ -f $file ]] || fail "$page.1.gz is not installed in share/man/man1"
  found=$(MANPATH=$work/usr/share/man man -w "$page") || fail "man -w $page finds no page"
  [[ $found == "$file" ]] || fail "man -w $page finds $found, not $file"

  text=$work/$page.txt
  warnings=$(man --warnings=w -l "$file" 2>&1 >"$text") || fail "man -l $file failed: $warnings"
  [[ -z $warnings ]] || fail "$page.1 renders with warnings:"$'\n'"$warnings"
  lexgrog "$file" >/dev/null || fail "whatis cannot read the NAME line of $page.1"

  grep -q "Orvalen $version" "$text" || fail "$page.1 does not name the version $version"
  ! zgrep -q '@[A-Z_]*@' "$file" || fail "$page.1 holds a placeholder the build left"
  IFS='|' read -ra wanted <<<"${sections[$page]}"
  for section in "${wanted[@]}"; do
    grep -qx "$section" "$text" || fail "$page.1 has no section $section"
  done
done
echo "$check: both pages render without warnings"
