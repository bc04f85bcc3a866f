#!/usr/bin/env bash
# The kit as a Visual C++ host uses it. Visual C++ does not run here; clang for
# i686-pc-windows-msvc and lld-link build the same ABI. The host in kit_msvc/ knows the library only
# through kslHook.h and kslHook.lib. It is built twice against the installed kit: by hand, as when
# kslHook.lib is added to a Visual C++ project's linker inputs, and as a CMake project that finds
# the package, which has to hand an MSVC-ABI compiler kslHook.lib. Both run under Wine.
# Arguments: the build folder, the source folder, the architecture (x86, the default, or x64).
set -euo pipefail
export LC_ALL=C
build=$1
source=$2
# 64-bit: no underscore before C names, no safe exception handler tables, files in x64/ folders.
if [ "${3:-x86}" = x64 ]; then
  target=x86_64 machine=i386:x86-64 imp=__imp_ safeseh= sub=x64/ toolchain=clang-msvc-abi-x64
else
  target=i686 machine=i386 imp=__imp__ safeseh=/safeseh sub="" toolchain=clang-msvc-abi
fi
work=$build/kit-msvc-test
rm -rf "$work"
mkdir -p "$work/by-hand"

cmake --install "$build" --prefix "$work/installed" >/dev/null
kit=$work/installed

# Imports the functions from kslHook.dll under their plain names, or says what it imports.
check_imports() {
  local exe=$1 imports
  imports=$(llvm-objdump -p "$exe" | sed -n '/DLL Name: kslHook.dll/,/^$/p')
  for name in kslCreateHook kslHookSetBkBmp kslHookSetBkColor kslHookSetFgColor kslHookSetHwnd \
              kslHookSetBkBmpW kslSkinAttach kslSkinDetach kslSkinOf kslSkinSetBkImageW \
              kslSkinSetBkColor kslSkinSetFgColor; do
    if ! grep -qx "[[:space:]]*[0-9]*[[:space:]]*$name" <<<"$imports"; then
      echo "FAIL: $(basename "$exe") does not import $name from kslHook.dll"; echo "$imports"
      exit 1
    fi
  done
}

# By hand, as Visual C++ does it: the Windows SDK's headers only (Wine's here), no C runtime,
# warnings are errors, and the link takes kslHook.lib beside kernel32.lib, user32.lib and gdi32.lib
# with /SAFESEH, the default of a Visual C++ project for 32-bit Windows.
hand=$work/by-hand
clang --target=$target-pc-windows-msvc -nostdinc -ffreestanding -O2 -Wall -Wextra -Werror \
  -isystem /usr/include/wine/wine/windows -isystem /usr/include/wine/wine/msvcrt \
  -I "$kit/include" -c "$source/tests/kit_msvc/msvc_host.c" -o "$hand/msvc_host.obj"
# The Windows SDK's import libraries are not here: mingw-w64's have no safe exception handler
# tables, so the ones for the system functions the host calls are made in the MSVC format.
llvm-nm --undefined-only "$hand/msvc_host.obj" |
  awk -v imp=$imp 'index($2, imp) == 1 {print substr($2, length(imp) + 1)}' |
  sort >"$hand/system-imports"
for dll in kernel32 user32 gdi32; do
  {
    echo "LIBRARY $dll.dll"
    echo "EXPORTS"
    llvm-nm --defined-only "/usr/$target-w64-mingw32/lib/lib$dll.a" 2>/dev/null |
      awk -v imp=$imp 'index($3, imp) == 1 {print substr($3, length(imp) + 1)}' | sort -u |
      comm -12 - "$hand/system-imports"
  } >"$hand/$dll.def"
  llvm-dlltool -m $machine -k -d "$hand/$dll.def" -l "$hand/$dll.lib"
done
(cd "$hand" && lld-link /nologo /WX $safeseh /subsystem:console /entry:HostMain /nodefaultlib \
   /out:msvc_host.exe msvc_host.obj "$kit/lib/${sub}kslHook.lib" kernel32.lib user32.lib gdi32.lib)
check_imports "$hand/msvc_host.exe"
echo "ok   an MSVC-ABI host links ${sub}kslHook.lib ${safeseh:+with /SAFESEH }and imports the six" \
     "functions by their plain names"

# As a CMake project: find_package(kslHook) must choose kslHook.lib for this compiler.
cmake -S "$source/tests/kit_msvc" -B "$work/cmake" \
  -DCMAKE_TOOLCHAIN_FILE="$source/tests/kit_msvc/$toolchain.cmake" \
  -DCMAKE_PREFIX_PATH="$kit" >/dev/null
cmake --build "$work/cmake" >/dev/null
link_line=$(cat "$work/cmake/CMakeFiles/msvc_host.dir/link.txt" \
                "$work/cmake/CMakeFiles/msvc_host.dir/linkLibs.rsp" 2>/dev/null || true)
if ! grep -q "$kit/lib/${sub}kslHook.lib" <<<"$link_line" || grep -q 'libkslHook' <<<"$link_line"; then
  echo "FAIL: the package did not give the MSVC-ABI compiler kslHook.lib:"; echo "$link_line"
  exit 1
fi
check_imports "$work/cmake/msvc_host.exe"
echo "ok   find_package(kslHook) links kslHook.lib for clang in the MSVC ABI"

for built in "by-hand:by hand" "cmake:through CMake"; do
  echo "-- the host built ${built#*:}, under Wine:"
  cp "$kit/bin/${sub}kslHook.dll" "$work/${built%%:*}/"
  (cd "$work/${built%%:*}" && wine msvc_host.exe)
done
