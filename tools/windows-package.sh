#!/usr/bin/env bash
# The Windows package of a cross-build made with the Qt kit: a folder a user can unpack and
# start anywhere (also as a .zip) and an NSIS installer for Program Files.
#   tools/windows-package.sh BUILD-FOLDER QT-KIT-FOLDER
# Writes BUILD-FOLDER/package/pivotta-<version>-windows-x64{/,.zip} and pivotta-<version>-setup.exe.
set -euo pipefail
build=$1 kit=$2
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "windows-package: $build is no configured build folder" >&2; exit 1; }
out=$(cd "$build" && pwd)/package
name=pivotta-$version-windows-x64
stage=$out/$name
rm -rf "$out"
mkdir -p "$out"

# The install rules put the programs and what they load into bin/; that folder is the package.
cmake --install "$build" --prefix "$out/install" --strip > /dev/null
leftover=$(find "$out/install" -mindepth 1 -maxdepth 1 ! -name bin)
[ -z "$leftover" ] || { echo "windows-package: installed outside bin/: $leftover" >&2; exit 1; }
mv "$out/install/bin" "$stage"
rmdir "$out/install"
for program in pivotta.exe pivotta-cli.exe; do
  [ -f "$stage/$program" ] || { echo "windows-package: $program was not built" >&2; exit 1; }
done

# The licences of what the package carries, and where their sources are.
licenses=$stage/licenses
mkdir -p "$licenses/qt" "$licenses/libjpeg-turbo" "$licenses/mingw-w64"
cp "$kit"/share/licenses/qt6/qtbase-LICENSES/{LGPL-3.0-only,GPL-3.0-only,GPL-2.0-only,Qt-GPL-exception-1.0}.txt \
   "$kit/share/licenses/qt6/qt6-base.debian-copyright" "$licenses/qt/"
cp "$kit"/share/licenses/libjpeg-turbo/{LICENSE.md,README.ijg} "$licenses/libjpeg-turbo/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$licenses/mingw-w64/gcc-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$licenses/mingw-w64/mingw-w64-copyright.txt"
sed 's/$/\r/' > "$licenses/README.txt" << 'EOF'
Pivotta for Windows carries these libraries:

- Qt 6.4.2 (Qt6Core, Qt6Gui, Qt6Widgets, Qt6Svg and the plugins in platforms, styles and
  iconengines), used under the GNU LGPL version 3 (qt/LGPL-3.0-only.txt, with
  qt/GPL-3.0-only.txt, which it extends). The DLLs may be replaced by other builds of Qt 6.4.
  Their source is Debian's qt6-base 6.4.2+dfsg-10 source package and the v6.4.2 tag of
  qtsvg (https://code.qt.io/qt/qtsvg.git); the list of each file's licence is
  qt/qt6-base.debian-copyright.
- libjpeg-turbo 2.1.5, linked into pivotta.exe to show pictures (libjpeg-turbo/LICENSE.md).
  This software is based in part on the work of the Independent JPEG Group.
- The GCC 12 runtime (libstdc++-6.dll, libgcc_s_seh-1.dll) under the GPL version 3 with
  the GCC Runtime Library Exception, and winpthreads (libwinpthread-1.dll) under the MIT
  licence, from Debian's mingw-w64 packages (mingw-w64/).
EOF

(cd "$out" && zip -qr9 "$name.zip" "$name")

# The installer lists every file it installs, so that the uninstaller removes those and no more.
files_nsh=$out/files.nsh remove_nsh=$out/remove.nsh
: > "$files_nsh"
: > "$remove_nsh"
while IFS= read -r dir; do
  [ "$dir" = . ] || echo "CreateDirectory \"\$INSTDIR\\${dir//\//\\}\"" >> "$files_nsh"
done < <(cd "$stage" && find . -type d | sed 's|^\./||' | sort)
while IFS= read -r file; do
  target=${file//\//\\}
  echo "File \"/oname=$target\" \"$stage/$file\"" >> "$files_nsh"
  echo "Delete \"\$INSTDIR\\$target\"" >> "$remove_nsh"
done < <(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
while IFS= read -r dir; do
  echo "RMDir \"\$INSTDIR\\${dir//\//\\}\"" >> "$remove_nsh"
done < <(cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||' | sort -r)
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DFILES_NSH="$files_nsh" \
  -DREMOVE_NSH="$remove_nsh" -DOUTFILE="$out/pivotta-$version-setup.exe" \
  "$root/packaging/windows/pivotta.nsi" > "$out/makensis.log" ||
  { cat "$out/makensis.log" >&2; exit 1; }
echo "windows-package: $out/$name.zip ($(du -k "$out/$name.zip" | cut -f1) KB), $out/pivotta-$version-setup.exe ($(du -k "$out/pivotta-$version-setup.exe" | cut -f1) KB)"
