# The kslHook package: find_package(kslHook) gives the imported target kslHook::kslHook, which
# brings kslHook.h and the import library; kslHook.dll goes beside the host's executable.
get_filename_component(_kslHook_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET kslHook::kslHook)
  add_library(kslHook::kslHook SHARED IMPORTED)
  set_target_properties(kslHook::kslHook PROPERTIES
    IMPORTED_LOCATION "${_kslHook_prefix}/bin/kslHook.dll"
    IMPORTED_IMPLIB "${_kslHook_prefix}/lib/libkslHook.dll.a"
    INTERFACE_INCLUDE_DIRECTORIES "${_kslHook_prefix}/include")
endif()
unset(_kslHook_prefix)
