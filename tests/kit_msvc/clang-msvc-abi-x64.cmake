# The MSVC ABI for 64-bit Windows: clang for x86_64-pc-windows-msvc, otherwise as for 32 bits.
set(KSL_MSVC_X64 ON)
include(${CMAKE_CURRENT_LIST_DIR}/clang-msvc-abi.cmake)
