#!/usr/bin/env bash
# Builds the Debian package, unpacks it with dpkg-deb into a temporary
# folder and checks it from there as a user meets it: the programs run, the
# desktop entry and the AppStream metadata validate, the manual page and
# the completion know every option of tallowby-scan, and lintian finds no
# error.
#
#   package-test.sh SOURCE_DIR PACKAGE_BUILD_DIR TALLOWBY_SCAN
#
# TALLOWBY_SCAN is the scanner of the build under test: the packaged one
# must say and write what it does.
set -euo pipefail
source_dir=$1
build_dir=$2
reference_scan=$3

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

deb=$(bash "$source_dir/scripts/package.sh" "$build_dir" | tail -n 1)
case $deb in
  */tallowby_*_amd64.deb) ;;
  *) echo "FAIL: scripts/package.sh named no package: '$deb'" >&2; exit 1 ;;
esac
echo "package: $deb"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
dpkg-deb -x "$deb" "$root"

# What a user reaches after installing.
for file in usr/bin/tallowby usr/bin/tallowby-scan usr/bin/tallowby-dask \
  usr/share/applications/tallowby.desktop \
  usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128}/apps/tallowby.png \
  usr/share/man/man1/{tallowby,tallowby-scan,tallowby-dask}.1.gz \
  usr/share/bash-completion/completions/tallowby-scan \
  usr/share/doc/tallowby/copyright usr/share/doc/tallowby/changelog.gz \
  usr/share/doc/tallowby/crawler-user-agents.{README.md,LICENSE} \
  usr/share/doc/tallowby/sources.README.md \
  usr/share/tallowby/Help.rtf; do
  [ -e "$root/$file" ] || fail "the package holds no /$file"
done
# The compiled-in crawler list's MIT notice goes with every copy.
grep -q '^ Copyright (c) 2017 Martin Monperrus$' "$root/usr/share/doc/tallowby/copyright" ||
  fail "the copyright file holds no notice of the crawler list's licence"
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "the package holds no AppStream metadata in /usr/share/metainfo"

# The programs run from the unpacked folder, on the system's libraries.
scan=$root/usr/bin/tallowby-scan
"$scan" --version >"$tmp/version" || fail "tallowby-scan --version failed"
"$reference_scan" --version | cmp -s - "$tmp/version" ||
  fail "tallowby-scan --version says '$(cat "$tmp/version")'"
(cd "$source_dir" && "$scan" --domain mysite.example samples/access.log) \
  >"$tmp/rows" 2>"$tmp/summary" || fail "the sample scan failed: $(cat "$tmp/summary")"
(cd "$source_dir" && "$reference_scan" --domain mysite.example --quiet samples/access.log) |
  cmp -s - "$tmp/rows" || fail "the sample scan's rows differ from those of the build"
grep -qx 'COMPLETE: 1 files done : 3000 lines scanned : 1851 links found : 1564 duplicates removed : 287 unique links' \
  "$tmp/summary" || fail "the sample scan's summary reads '$(cat "$tmp/summary")'"
"$root/usr/bin/tallowby-dask" --help >"$tmp/dask-help" 2>&1 ||
  fail "tallowby-dask --help failed: $(cat "$tmp/dask-help")"
rm -rf "$root/usr/share/tallowby/dask/__pycache__"

desktop-file-validate "$root/usr/share/applications/tallowby.desktop" ||
  fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "${metainfo[@]}" >"$tmp/appstream" 2>&1 ||
  fail "appstreamcli rejects the metadata: $(cat "$tmp/appstream")"
# The metadata with the desktop entry and icon it names, as software centres
# put them together.
appstreamcli validate-tree --no-net "$root" >"$tmp/appstream" 2>&1 ||
  fail "appstreamcli rejects the installed tree: $(cat "$tmp/appstream")"

# The manual pages read without a warning, and tallowby-scan(1) documents
# every option that --help lists.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
options=$("$scan" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "tallowby-scan --help lists no option"
zcat "$root/usr/share/man/man1/tallowby-scan.1.gz" | sed 's/\\-/-/g' >"$tmp/page"
for option in $options; do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" "$tmp/page" ||
    fail "tallowby-scan(1) does not document $option"
done

# The completion, as bash-completion loads it, offers what a user may type
# next.
complete_words() {
  (cd "$source_dir" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    _tallowby_scan tallowby-scan "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort' \
    bash "$root/usr/share/bash-completion/completions/tallowby-scan" "$@")
}
check_completion() {
  local expected=$1
  shift
  local got
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] ||
    fail "completing '$*' offers [$(echo $got)], not [$(echo $expected)]"
}
check_completion "$options" tallowby-scan --
check_completion "$(printf '%s\n' csv json none)" tallowby-scan --format ''
check_completion "samples/access.log" tallowby-scan -d example.com samples/acc
check_completion "samples/access.log" tallowby-scan --spam-list samples/acc
check_completion "samples/access.log" tallowby-scan --fields --crawlers samples/acc
check_completion "" tallowby-scan --domain ''

if command -v lintian >/dev/null; then
  # Root is warned against running lintian; the package is only read.
  lintian --fail-on error "$deb" >"$tmp/lintian" 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' "$tmp/lintian")"
  grep -v 'root privileges' "$tmp/lintian" || true
else
  fail "lintian is not installed (scripts/install-deps.sh installs it)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "the package holds what it should and its programs run"
