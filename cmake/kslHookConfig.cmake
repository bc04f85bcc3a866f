# The kslHook package: find_package(kslHook) gives the imported target kslHook::kslHook, which
# brings kslHook.h and the import library that fits the consuming compiler; kslHook.dll goes beside
# the host's executable.
get_filename_component(_kslHook_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

# A 64-bit host gets the 64-bit DLL and import libraries from bin/x64/ and lib/x64/; a 32-bit host
# the 32-bit ones from bin/ and lib/.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_kslHook_arch "/x64")
else()
  set(_kslHook_arch "")
endif()

# Visual C++, clang-cl and clang targeting the MSVC ABI link the MSVC-format kslHook.lib; GNU
# toolchains (mingw-w64 gcc or clang) link libkslHook.dll.a. Both import the same functions.
set(_kslHook_msvc_abi FALSE)
foreach(_kslHook_lang C CXX)
  if(CMAKE_${_kslHook_lang}_COMPILER_ID STREQUAL "MSVC"
     OR CMAKE_${_kslHook_lang}_SIMULATE_ID STREQUAL "MSVC")
    set(_kslHook_msvc_abi TRUE)
  endif()
endforeach()
if(MSVC OR _kslHook_msvc_abi)
  set(_kslHook_implib "${_kslHook_prefix}/lib${_kslHook_arch}/kslHook.lib")
else()
  set(_kslHook_implib "${_kslHook_prefix}/lib${_kslHook_arch}/libkslHook.dll.a")
endif()

if(NOT EXISTS "${_kslHook_implib}")
  set(kslHook_FOUND FALSE)
  string(CONCAT kslHook_NOT_FOUND_MESSAGE "this kit has no ${_kslHook_implib}, "
         "the import library for this compiler's ABI and pointer size")
elseif(NOT TARGET kslHook::kslHook)
  add_library(kslHook::kslHook SHARED IMPORTED)
  set_target_properties(kslHook::kslHook PROPERTIES
    IMPORTED_LOCATION "${_kslHook_prefix}/bin${_kslHook_arch}/kslHook.dll"
    IMPORTED_IMPLIB "${_kslHook_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_kslHook_prefix}/include")
endif()
unset(_kslHook_prefix)
unset(_kslHook_implib)
unset(_kslHook_arch)
unset(_kslHook_msvc_abi)
unset(_kslHook_lang)
