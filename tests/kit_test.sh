#!/usr/bin/env bash
# The host developer's kit used as a host developer uses it: installed with `cmake --install`,
# zipped by CPack, the example hosts configured against the installed package with
# find_package(kslHook), built, and run under Wine.
# Arguments: the build folder, the source folder.
set -euo pipefail
build=$1
source=$2
work=$build/kit-test
rm -rf "$work"
mkdir -p "$work"

cmake --install "$build" --prefix "$work/installed" >/dev/null
expected="bin/kslHook.dll
include/kslHook.h
lib/cmake/kslHook/kslHookConfig.cmake
lib/cmake/kslHook/kslHookConfigVersion.cmake
lib/kslHook.lib
lib/libkslHook.dll.a
share/doc/kslHook/README.md"
installed=$(cd "$work/installed" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  echo "FAIL: the installed kit holds"; echo "$installed"; exit 1
fi

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
zip=$(ls "$work"/package/kslHook-*-win32.zip)
zipped=$(cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
if [ "$zipped" != "$expected" ]; then
  echo "FAIL: $zip holds"; echo "$zipped"; exit 1
fi
echo "ok   the kit installs and zips as bin/ include/ lib/ lib/cmake/kslHook/ ($(basename "$zip"))"

# The shipped DLL is stripped: no debug sections, no symbol table, in the folder and in the zip.
mkdir -p "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$zip")
for dll in "$work/installed/bin/kslHook.dll" "$work"/unzipped/*/bin/kslHook.dll; do
  sections=$(i686-w64-mingw32-objdump -h "$dll")
  symbols=$(i686-w64-mingw32-objdump -t "$dll")
  if grep -q '\.debug' <<<"$sections" || ! grep -qx 'no symbols' <<<"$symbols"; then
    echo "FAIL: $dll carries debug sections or symbols"; echo "$sections"; exit 1
  fi
done
echo "ok   the installed and the zipped kslHook.dll carry no debug sections or symbols" \
     "($(stat -c %s "$work/installed/bin/kslHook.dll") bytes)"

# Linker warnings are errors, and the linker may not guess at __stdcall names: the import library
# has to name the functions exactly as kslHook.h declares them.
cmake -S "$source/examples" -B "$work/examples" \
  -DCMAKE_TOOLCHAIN_FILE="$source/cmake/i686-mingw-posix.cmake" \
  -DCMAKE_PREFIX_PATH="$work/installed" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--disable-stdcall-fixup -Wl,--fatal-warnings" >/dev/null
cmake --build "$work/examples" >/dev/null
link_line=$(cat "$work/examples/CMakeFiles/linked_host.dir/link.txt" \
                "$work/examples/CMakeFiles/linked_host.dir/linkLibs.rsp" 2>/dev/null || true)
if ! grep -q "$work/installed/lib/libkslHook.dll.a" <<<"$link_line"; then
  echo "FAIL: the package did not give the GNU compiler libkslHook.dll.a:"; echo "$link_line"
  exit 1
fi
echo "ok   the example hosts build against the installed package (with libkslHook.dll.a)"

imports=$(i686-w64-mingw32-objdump -p "$work/examples/linked_host.exe" |
          sed -n '/DLL Name: kslHook.dll/,/^$/p')
for name in kslCreateHook kslHookSetBkBmp kslHookSetBkColor kslHookSetFgColor kslHookSetHwnd; do
  if ! grep -qw "$name" <<<"$imports"; then
    echo "FAIL: linked_host.exe does not import $name from kslHook.dll"; echo "$imports"; exit 1
  fi
done
echo "ok   linked_host.exe imports the five functions from kslHook.dll by their plain names"

cd "$work/examples"
wine linked_host.exe
wine loadlibrary_host.exe
