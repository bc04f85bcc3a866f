#!/usr/bin/env bash
# The kit used by a Visual C++ host, with the MSVC ABI built here by clang for i686-pc-windows-msvc
# and lld-link (Visual C++ itself does not run here). The host in kit_msvc/ knows the library only
# through kslHook.h and kslHook.lib. It is built twice against the installed kit: by hand, as one
# adds kslHook.lib to a Visual C++ project's linker inputs, and as a CMake project that finds the
# package, which has to hand an MSVC-ABI compiler kslHook.lib. Both are run under Wine.
# Arguments: the build folder, the source folder.
set -euo pipefail
build=$1
source=$2
work=$build/kit-msvc-test
rm -rf "$work"
mkdir -p "$work/by-hand"

cmake --install "$build" --prefix "$work/installed" >/dev/null
kit=$work/installed

# Imports the five functions from kslHook.dll under their plain names, or says what it imports.
check_imports() {
  local exe=$1 imports
  imports=$(llvm-objdump -p "$exe" | sed -n '/DLL Name: kslHook.dll/,/^$/p')
  for name in kslCreateHook kslHookSetBkBmp kslHookSetBkColor kslHookSetFgColor kslHookSetHwnd; do
    if ! grep -qx "[[:space:]]*[0-9]*[[:space:]]*$name" <<<"$imports"; then
      echo "FAIL: $(basename "$exe") does not import $name from kslHook.dll"; echo "$imports"
      exit 1
    fi
  done
}

# By hand: the Windows SDK's headers only (Wine's), no C runtime, and warnings are errors.
mingw_lib=/usr/i686-w64-mingw32/lib
clang --target=i686-pc-windows-msvc -nostdinc -ffreestanding -O2 -Wall -Wextra -Werror \
  -isystem /usr/include/wine/wine/windows -isystem /usr/include/wine/wine/msvcrt \
  -I "$kit/include" -c "$source/tests/kit_msvc/msvc_host.c" -o "$work/by-hand/msvc_host.obj"
lld-link /nologo /WX /subsystem:console /entry:HostMain /nodefaultlib /safeseh:no \
  /out:"$work/by-hand/msvc_host.exe" "$work/by-hand/msvc_host.obj" "$kit/lib/kslHook.lib" \
  "$mingw_lib/libuser32.a" "$mingw_lib/libgdi32.a" "$mingw_lib/libkernel32.a"
check_imports "$work/by-hand/msvc_host.exe"
echo "ok   an MSVC-ABI host links kslHook.lib and imports the five functions by their plain names"

# As a CMake project: find_package(kslHook) must choose kslHook.lib for this compiler.
cmake -S "$source/tests/kit_msvc" -B "$work/cmake" \
  -DCMAKE_TOOLCHAIN_FILE="$source/tests/kit_msvc/clang-msvc-abi.cmake" \
  -DCMAKE_PREFIX_PATH="$kit" >/dev/null
cmake --build "$work/cmake" >/dev/null
link_line=$(cat "$work/cmake/CMakeFiles/msvc_host.dir/link.txt" \
                "$work/cmake/CMakeFiles/msvc_host.dir/linkLibs.rsp" 2>/dev/null || true)
if ! grep -q "$kit/lib/kslHook.lib" <<<"$link_line" || grep -q 'libkslHook' <<<"$link_line"; then
  echo "FAIL: the package did not give the MSVC-ABI compiler kslHook.lib:"; echo "$link_line"
  exit 1
fi
check_imports "$work/cmake/msvc_host.exe"
echo "ok   find_package(kslHook) links kslHook.lib for clang in the MSVC ABI"

for host in by-hand cmake; do
  echo "-- the host built $host, under Wine:"
  cp "$kit/bin/kslHook.dll" "$work/$host/"
  (cd "$work/$host" && wine msvc_host.exe)
done
