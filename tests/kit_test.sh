#!/usr/bin/env bash
# The host developer's kit used as a host developer uses it: installed with `cmake --install`,
# zipped by CPack, the example hosts configured against the installed package with
# find_package(kslHook), built, and run under Wine.
# Arguments: the build folder, the source folder, the architecture (x86, the default, or x64).
set -euo pipefail
build=$1
source=$2
if [ "${3:-x86}" = x64 ]; then
  sub=x64/ triple=x86_64-w64-mingw32 toolchain=x86_64-mingw-posix
else
  sub="" triple=i686-w64-mingw32 toolchain=i686-mingw-posix
fi
work=$build/kit-test
rm -rf "$work"
mkdir -p "$work"

# The kit's files for one architecture: its own in bin/$1 and lib/$1, the rest shared.
kit_files() {
  printf '%s\n' "bin/$1kslHook.dll" include/kslHook.h lib/cmake/kslHook/kslHookConfig.cmake \
    lib/cmake/kslHook/kslHookConfigVersion.cmake "lib/$1kslHook.lib" "lib/$1libkslHook.dll.a" \
    share/doc/kslHook/README.md | sort
}
cmake --install "$build" --prefix "$work/installed" >/dev/null
expected=$(kit_files "$sub")
installed=$(cd "$work/installed" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  echo "FAIL: the installed kit holds"; echo "$installed"; exit 1
fi

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null)
zip=$(ls "$work"/package/kslHook-*.zip)
zipped=$(cmake -E tar tf "$zip" | grep -v '/$' | sed 's|^[^/]*/||' | sort)
# The 32-bit tree's zip carries the 64-bit files too when it knows their tree.
expected_zip=$expected
other=$(sed -n 's/^KSL_KIT_X64_BUILD:PATH=//p' "$build/CMakeCache.txt")
if [ -n "$other" ]; then expected_zip=$({ kit_files ""; kit_files x64/; } | sort -u); fi
if [ "$zipped" != "$expected_zip" ]; then
  echo "FAIL: $zip holds"; echo "$zipped"; exit 1
fi
echo "ok   the kit installs and zips as bin/ include/ lib/ lib/cmake/kslHook/ ($(basename "$zip"))"

# The shipped DLL is stripped: no debug sections, no symbol table, in the folder and in the zip.
mkdir -p "$work/unzipped"
(cd "$work/unzipped" && cmake -E tar xf "$zip")
for dll in "$work/installed/bin/${sub}kslHook.dll" "$work"/unzipped/*/bin/"${sub}"kslHook.dll; do
  sections=$($triple-objdump -h "$dll")
  symbols=$($triple-objdump -t "$dll")
  if grep -q '\.debug' <<<"$sections" || ! grep -qx 'no symbols' <<<"$symbols"; then
    echo "FAIL: $dll carries debug sections or symbols"; echo "$sections"; exit 1
  fi
done
echo "ok   the installed and the zipped kslHook.dll carry no debug sections or symbols" \
     "($(stat -c %s "$work/installed/bin/${sub}kslHook.dll") bytes)"

# Hosts of both kinds use one kit: the 32-bit examples below find the package in a prefix that
# holds the 64-bit files too, and must still get the 32-bit ones.
if [ -n "$other" ]; then cmake --install "$other" --prefix "$work/installed" >/dev/null; fi

# Linker warnings are errors, and the linker may not guess at __stdcall names: the import library
# has to name the functions exactly as kslHook.h declares them.
cmake -S "$source/examples" -B "$work/examples" \
  -DCMAKE_TOOLCHAIN_FILE="$source/cmake/$toolchain.cmake" \
  -DCMAKE_PREFIX_PATH="$work/installed" \
  -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,--disable-stdcall-fixup -Wl,--fatal-warnings" >/dev/null
cmake --build "$work/examples" >/dev/null
link_line=$(cat "$work/examples/CMakeFiles/linked_host.dir/link.txt" \
                "$work/examples/CMakeFiles/linked_host.dir/linkLibs.rsp" 2>/dev/null || true)
if ! grep -q "$work/installed/lib/${sub}libkslHook.dll.a" <<<"$link_line"; then
  echo "FAIL: the package did not give the GNU compiler libkslHook.dll.a:"; echo "$link_line"
  exit 1
fi
echo "ok   the example hosts build against the installed package (with lib/${sub}libkslHook.dll.a)"

imports=$($triple-objdump -p "$work/examples/linked_host.exe" |
          sed -n '/DLL Name: kslHook.dll/,/^$/p')
for name in kslCreateHook kslHookSetBkBmp kslHookSetBkColor kslHookSetFgColor kslHookSetHwnd \
            kslHookSetBkBmpW; do
  if ! grep -qw "$name" <<<"$imports"; then
    echo "FAIL: linked_host.exe does not import $name from kslHook.dll"; echo "$imports"; exit 1
  fi
done
echo "ok   linked_host.exe imports the six functions from kslHook.dll by their plain names"
imports=$($triple-objdump -p "$work/examples/handle_host.exe" |
          sed -n '/DLL Name: kslHook.dll/,/^$/p')
for name in kslSkinAttach kslSkinDetach kslSkinOf kslSkinSetBkImageW kslSkinSetBkColor \
            kslSkinSetFgColor kslSkinSetLook kslSkinGetLook; do
  grep -qw "$name" <<<"$imports" || { echo "FAIL: handle_host.exe lacks $name"; exit 1; }
done

cd "$work/examples"
wine linked_host.exe
wine loadlibrary_host.exe
wine handle_host.exe
