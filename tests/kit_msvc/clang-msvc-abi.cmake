# Builds C for 32-bit Windows with the MSVC ABI, as Visual C++ would: clang for i686-pc-windows-msvc
# (CMake links through clang, which runs lld-link), with Wine's Windows SDK headers in place of the
# Windows SDK's. There is no Visual C++ runtime here: programs bring their own entry point and link
# no default libraries, and the system DLLs' import libraries are mingw-w64's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)

set(CMAKE_C_COMPILER clang)
set(CMAKE_C_COMPILER_TARGET i686-pc-windows-msvc)
set(CMAKE_AR llvm-ar)
set(CMAKE_C_STANDARD_INCLUDE_DIRECTORIES
  /usr/include/wine/wine/windows /usr/include/wine/wine/msvcrt)
# Freestanding: no calls to a C library the compiler would assume. kslHook.h has to compile without
# a warning, and the host has to link without one.
set(CMAKE_C_FLAGS_INIT "-ffreestanding -Wall -Wextra -Werror")
# mingw-w64's import libraries carry no safe exception handler tables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Xlinker /nodefaultlib -Xlinker /safeseh:no -Xlinker /WX")
# No runtime library options either (they would ask for msvcrt.lib).
set(CMAKE_MSVC_RUNTIME_LIBRARY "")
set(_mingw_lib /usr/i686-w64-mingw32/lib)
set(CMAKE_C_STANDARD_LIBRARIES
  "${_mingw_lib}/libkernel32.a ${_mingw_lib}/libuser32.a ${_mingw_lib}/libgdi32.a"
  CACHE STRING "The system DLLs' import libraries")
# Without a C runtime a test program has no entry point to link: the compiler checks only compile.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
