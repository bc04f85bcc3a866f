# The MSVC ABI for 64-bit Windows: as clang-msvc-abi.cmake, for x86_64-pc-windows-msvc, with
# mingw-w64's 64-bit import libraries and without /safeseh (64-bit code has no such tables).
include(${CMAKE_CURRENT_LIST_DIR}/clang-msvc-abi.cmake)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Xlinker /nodefaultlib -Xlinker /WX")
set(_mingw_lib /usr/x86_64-w64-mingw32/lib)
set(CMAKE_C_STANDARD_LIBRARIES
  "${_mingw_lib}/libkernel32.a ${_mingw_lib}/libuser32.a ${_mingw_lib}/libgdi32.a"
  CACHE STRING "The system DLLs' import libraries" FORCE)
