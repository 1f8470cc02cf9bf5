#!/usr/bin/env bash
# Builds the .deb from the main build (build/) and checks it as dpkg -i would lay it out:
# unpacked into a temporary folder, every file in place, the programs' libraries found, and
# the unpacked pivotta-cli giving the same bytes as the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls -t "$build"/pivotta_*_*.deb | head -1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
fail() { echo "package-tests: $*" >&2; exit 1; }

expected=(usr/bin/pivotta-cli usr/lib/pivotta/pivotta usr/lib/pivotta/readme.txt
          usr/share/applications/pivotta.desktop usr/share/icons/hicolor/scalable/apps/pivotta.svg)
# The CLI's man page and bash completion are packaged whenever the build makes them.
[ -f "$build/doc/pivotta-cli.1" ] && expected+=(usr/share/man/man1/pivotta-cli.1)
[ -f "$build/doc/pivotta-cli.bash" ] && expected+=(usr/share/bash-completion/completions/pivotta-cli)
for file in "${expected[@]}"; do
  [ -f "$root/$file" ] || fail "$file is missing from $deb"
done
# The program finds readme.txt beside itself: /usr/bin/pivotta must lead to its own folder.
[ "$(readlink -f "$root/usr/bin/pivotta")" = "$(readlink -f "$root/usr/lib/pivotta/pivotta")" ] ||
  fail "usr/bin/pivotta does not lead to usr/lib/pivotta/pivotta"
for program in usr/lib/pivotta/pivotta usr/bin/pivotta-cli; do
  if ldd "$root/$program" | grep -q "not found"; then fail "$program misses libraries"; fi
done
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6widgets6 libqt6svg6 libjpeg62-turbo qt6-qpa-plugins; do
  [[ $depends == *"$package"* ]] || fail "Depends lacks $package: $depends"
done

# The desktop program starts from the unpacked tree and runs until it is stopped (its own
# HOME, so that nothing of the user's is read or written).
set +e
HOME="$root/home" QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/pivotta" > /dev/null 2>&1
status=$?
set -e
[ "$status" -eq 124 ] || fail "the unpacked pivotta ended with status $status instead of running"

cli="$root/usr/bin/pivotta-cli"
"$cli" --version | grep -q "^pivotta-cli " || fail "the unpacked pivotta-cli does not start"
convert -size 112x80 -seed 3 plasma:fractal -sampling-factor 2x2 -quality 90 "$root/in.jpg"
"$cli" -q -r 90 "$root/in.jpg" "$root/packaged.jpg"
"$build/bin/pivotta-cli" -q -r 90 "$root/in.jpg" "$root/built.jpg"
cmp -s "$root/packaged.jpg" "$root/built.jpg" || fail "the unpacked pivotta-cli gives other bytes than the build's"
echo "package-tests: $(basename "$deb") holds ${#expected[@]} files in place; its pivotta-cli works."
