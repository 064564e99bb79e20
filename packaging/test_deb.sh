#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks its fields and
# contents and has lintian check it, installs it on this machine with dpkg, runs the installed
# Orvalen in test mode on a copy of the example part program, then removes
# and purges the package and checks that nothing of it is left.
#
# Needs root. It never replaces what it finds: where the package or one of
# its files is already on the machine it fails and says so. Whatever
# happens, it purges what it installed, with the settings it wrote.
#   test_deb.sh CPACK BUILD_DIR SOURCE_DIR VERSION (the package's, with its Debian revision)
set -euo pipefail
check=debian_package
source "$(dirname "$0")/check_support.sh"
cpack=$1 build=$2 source=$3 version=$4

# Without root it skips (exit 77, which CTest reports as skipped).
if ((EUID != 0)); then
  echo "$check: skipped: installs a package on this machine, so it needs root (as in CI)"
  exit 77
fi
need "$cpack" lintian dpkg dpkg-deb dpkg-query dpkg-shlibdeps dpkg-architecture readelf flock cmp man \
  update-mime-database update-desktop-database

# One run at a time on this machine, whichever clone it comes from.
lock=/run/lock/orvalen-deb-test.lock
[[ ! -L $lock ]] || fail "$lock is a symbolic link"
exec 9>>"$lock"
flock -w 900 9 || fail "another run still holds $lock"

package_state() { dpkg-query -W -f='${db:Status-Status}' orvalen 2>/dev/null || true; }
state=$(package_state)
[[ -z $state || $state == not-installed ]] ||
  fail "the package orvalen is already on this machine ($state); this test installs and" \
    "purges it, so it leaves it alone: remove it first (dpkg -P orvalen)"
# The settings file is a conffile in /etc, which the purge removes.
settings=/etc/orvalen/Orvalen.ini
conffiles=(/etc/orvalen/Orvalen.ini /etc/orvalen/OrvalenLegacy.ini)

installed=0
cleanup_more() {
  if ((installed)); then dpkg -P orvalen >/dev/null 2>&1 || echo "$check: dpkg -P orvalen failed" >&2; fi
}
make_work_dir

# Build it.
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$work"/package/orvalen_*.deb)
((${#debs[@]} == 1)) && [[ -f ${debs[0]} ]] || fail "cpack made no orvalen_*.deb: $(ls "$work/package")"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "orvalen_${version}_$arch.deb" ]] || fail "the package is named $(basename "$deb")"

# Its fields.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == orvalen ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version: $(field Version), not $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture: $(field Architecture)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[[ -n $(field Section) ]] || fail "no Section"
[[ $(field Description) == *"CNC part programs"*$'\n'* ]] ||
  fail "Description without its summary and long text: $(field Description)"

# Its contents: exactly what a user needs, nothing of the tests or benchmarks.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' >"$work/entries"
grep -v '/$' "$work/entries" | sort >"$work/files"
grep '/$' "$work/entries" | sed 's|\(.\)/$|\1|' >"$work/dirs"
sort >"$work/expected" <<'EOF'
/etc/orvalen/Orvalen.ini
/etc/orvalen/OrvalenLegacy.ini
/usr/bin/Orvalen
/usr/bin/Orvalen.ini
/usr/bin/OrvalenLegacy
/usr/bin/OrvalenLegacy.ini
/usr/share/applications/orvalen.desktop
/usr/share/doc/orvalen/README.md
/usr/share/doc/orvalen/changelog.Debian.gz
/usr/share/doc/orvalen/copyright
/usr/share/doc/orvalen/docs/message.png
/usr/share/doc/orvalen/docs/question.png
/usr/share/doc/orvalen/docs/report.png
/usr/share/doc/orvalen/examples/Orvalen.ini
/usr/share/doc/orvalen/examples/bracket.nc
/usr/share/man/man1/Orvalen.1.gz
/usr/share/lintian/overrides/orvalen
/usr/share/man/man1/OrvalenLegacy.1.gz
/usr/share/mime/packages/orvalen.xml
EOF
diff -u "$work/expected" "$work/files" >&2 || fail "the package holds other files than these"

# What Debian's own checker says: no error, and no warning but those that
# packaging/lintian-overrides gives with their reasons.
lintian --fail-on error,warning --display-level '>=warning' "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian finds errors or warnings that are not overridden"; }

# Every shared library the programs need comes from a package it depends
# on: dpkg-shlibdeps worked them out.
depends=$(field Depends)
dpkg-deb -x "$deb" "$work/root"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for program in Orvalen OrvalenLegacy; do
  for library in $(readelf -d "$work/root/usr/bin/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    owner=$(dpkg -S "*/$multiarch/$library" 2>/dev/null | sed -n '1s/[:,].*//p')
    [[ -n $owner ]] || fail "no package holds $library, needed by $program"
    [[ ", $depends," == *", $owner "* || ", $depends," == *", $owner,"* ]] ||
      fail "Depends ($depends) lacks $owner, for $library"
  done
done

# Install it, where none of its files is yet.
while read -r file; do
  [[ ! -e $file && ! -L $file ]] || fail "$file is already on this machine; the package would replace it"
done <"$work/files"
declare -A had_dir=()
while read -r dir; do [[ -d $dir ]] && had_dir[$dir]=1; done <"$work/dirs"
installed=1
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }
[[ $(package_state) == installed ]] || fail "after dpkg -i the package is $(package_state)"
pages=$(man -aw Orvalen) && grep -qx /usr/share/man/man1/Orvalen.1.gz <<<"$pages" ||
  fail "man does not find Orvalen(1) in /usr/share/man"
grep -qx 'text/x.cnc-part-program' /usr/share/mime/types ||
  fail "the file type is not in the MIME database after dpkg -i"
grep -q 'orvalen\.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "Orvalen is not in the desktop MIME cache after dpkg -i"

# The settings files: conffiles in /etc, each with a link beside its
# program; as shipped, they leave Orvalen in normal mode.
for file in "${conffiles[@]}"; do
  dpkg-query -W -f='${Conffiles}\n' orvalen | grep -q "^ $file " || fail "$file is no conffile"
  program=/usr/bin/$(basename "$file")
  [[ $(readlink -f "$program") == "$file" ]] || fail "$program does not lead to $file"
done
grep -qx 'test=0' "$settings" || fail "$settings as shipped is not in normal mode"

# The installed Orvalen in test mode, through its settings file: the result
# goes to the .tax file, the part program stays as it was.
printf '[common]\r\ntest=1\r\n' >"$settings"
mkdir "$work/jobs"
cp "$source/examples/bracket.nc" "$work/jobs/bracket.nc"
status=0
(cd "$work/jobs" && env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/Orvalen "$work/jobs/bracket.nc" \
  </dev/null >"$work/run.log" 2>&1) || status=$?
((status == 0)) || fail "/usr/bin/Orvalen ended with $status: $(cat "$work/run.log")"
tax=$work/jobs/bracket.tax
[[ -f $tax ]] || fail "no bracket.tax after the run in test mode: $(cat "$work/run.log")"
cmp -s "$source/examples/bracket.nc" "$work/jobs/bracket.nc" || fail "test mode changed the part program"
! cmp -s "$work/jobs/bracket.nc" "$tax" || fail "bracket.tax is the part program unchanged"
grep -q $'^N40 G0 X35.5 Y20 Z5\r$' "$tax" || fail "bracket.tax lacks the corrected rapid move"
[[ $(ls -A "$work/jobs" | tr '\n' ' ') == 'bracket.nc bracket.tax ' ]] ||
  fail "the run left other files: $(ls -A "$work/jobs")"
status=0
env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/OrvalenLegacy </dev/null >"$work/legacy.log" 2>&1 || status=$?
((status == 0)) && grep -q 'File () does not exists' "$work/legacy.log" ||
  fail "/usr/bin/OrvalenLegacy without argument: status $status, $(cat "$work/legacy.log")"

# Remove, then purge: nothing of the package stays but the settings until
# the purge, and its type and entry leave the system's caches.
dpkg -r orvalen >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r failed"; }
while read -r file; do
  [[ $file == /etc/orvalen/* || (! -e $file && ! -L $file) ]] || fail "$file is left after dpkg -r"
done <"$work/files"
grep -q '^test=1' "$settings" || fail "dpkg -r did not keep the changed $settings"
dpkg -P orvalen >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -P failed"; }
installed=0
while read -r file; do
  [[ ! -e $file && ! -L $file ]] || fail "$file is left after dpkg -P"
done <"$work/files"
state=$(package_state)
[[ -z $state || $state == not-installed ]] || fail "after dpkg -P the package is $state"
while read -r dir; do
  [[ -n ${had_dir[$dir]:-} || ! -e $dir ]] || fail "the folder $dir is left after dpkg -P"
done <"$work/dirs"
! grep -qx 'text/x.cnc-part-program' /usr/share/mime/types ||
  fail "the file type is still in the MIME database after dpkg -P"
! grep -qs 'orvalen\.desktop' /usr/share/applications/mimeinfo.cache ||
  fail "Orvalen is still in the desktop MIME cache after dpkg -P"
echo "$check: $(basename "$deb") builds, installs, rewrites in test mode and purges cleanly"
