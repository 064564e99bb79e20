#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what makes a file
# manager offer Orvalen: the desktop entry is valid and runs `Orvalen %f`
# without a terminal, the file-type package is valid XML naming the
# part-program globs, and with both registered in the scratch prefix (and
# nothing of the user's) GIO gives part programs our type, leaves NetCDF
# data and CD images theirs, lists Orvalen for the type, and opening a part
# program runs Orvalen on it.
#   check_desktop_integration.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
check=desktop_integration
source "$(dirname "$0")/check_support.sh"
build=$1 source=$2

need cmake desktop-file-validate xmllint update-mime-database update-desktop-database gio
make_work_dir
usr=$work/usr
install_build "$build" "$usr"
entry=$usr/share/applications/orvalen.desktop
types=$usr/share/mime/packages/orvalen.xml
type=text/x.cnc-part-program

[[ -f $entry ]] || fail "share/applications/orvalen.desktop is not installed"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[[ -z $report ]] || fail "desktop-file-validate has remarks: $report"
for line in 'Exec=Orvalen %f' 'Terminal=false' "MimeType=$type;text/x.gcode;"; do
  grep -qxF "$line" "$entry" || fail "the desktop entry lacks the line $line"
done

[[ -f $types ]] || fail "share/mime/packages/orvalen.xml is not installed"
xmllint --noout "$types" || fail "the file-type package is not well-formed XML"
globs=$(xmllint --xpath "//*[local-name()='mime-type'][@type='$type']/*[local-name()='glob']/@pattern" \
          "$types" | grep -o '"[^"]*"' | tr -d '"' | sort | tr '\n' ' ')
[[ $globs == '*.cnc *.eia *.mpf *.nc *.ngc *.ptp *.spf *.tap ' ]] ||
  fail "the type $type has the globs '$globs'"

# A GIO that sees the scratch prefix and the system's types, no settings of
# the user's, no display and no terminal input.
mkdir "$work/home" "$work/config" "$work/files"
export XDG_DATA_DIRS=$usr/share:/usr/share XDG_DATA_HOME=$work/home
export XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/config PATH=$usr/bin:$PATH
unset DISPLAY WAYLAND_DISPLAY
report=$(update-mime-database "$usr/share/mime" 2>&1) || fail "update-mime-database: $report"
[[ -z $report ]] || fail "update-mime-database has remarks: $report"
update-desktop-database "$usr/share/applications" || fail "update-desktop-database failed"

cd "$work/files"
for ext in nc NC ngc tap cnc mpf MPF spf eia ptp; do
  cp "$source/examples/bracket.nc" "part.$ext"
done
{ printf 'CDF\001'; head -c 2048 /dev/zero | tr '\0' '\377'; } >netcdf.nc
{ printf '\0\1\2\3'; head -c 2048 /dev/zero | tr '\0' '\377'; } >image.iso
cp "$source/examples/bracket.nc" printer.gcode
declare -A expected=([netcdf.nc]=application/x-netcdf [image.iso]=application/x-cd-image
                     [printer.gcode]=text/x.gcode)
for file in *; do
  got=$(gio info -a standard::content-type "$file" | sed -n 's/^ *standard::content-type: //p')
  [[ $got == "${expected[$file]:-$type}" ]] ||
    fail "GIO gives $file the type '$got', not ${expected[$file]:-$type}"
done

for mime in "$type" text/x.gcode; do
  apps=$(gio mime "$mime")
  grep -qx $'\torvalen.desktop' <<<"$apps" || fail "GIO does not list Orvalen for $mime: $apps"
done
apps=$(gio mime "$type")
grep -q ': orvalen.desktop$' <<<"$apps" || fail "Orvalen is not the default for $type: $apps"

# Opening a part program (the file manager's double click) runs Orvalen on
# it; without a display or input, the question is answered Yes.
mkdir "$work/jobs"
job="$work/jobs/open with.nc"
cp "$source/examples/bracket.nc" "$job"
gio open "$job" </dev/null >"$work/open.log" 2>&1 || fail "gio open failed: $(cat "$work/open.log")"
for ((tries = 0; tries < 300; tries++)); do
  grep -q $'^N40 G0 X35.5 Y20 Z5\r$' "$job" && break
  sleep 0.1
done
grep -q $'^N40 G0 X35.5 Y20 Z5\r$' "$job" ||
  fail "opening $job did not rewrite it; Orvalen said: $(cat "$work/open.log")"
echo "$check: the desktop entry and the file type are valid and open part programs with Orvalen"
