# Fails the build when kslHook.dll holds a guard variable: a function-local static built at its
# first use, which two GUI threads reaching it at once would both build (the library is compiled
# without the runtime's thread-safe guards). Each such value is to be made while the module loads,
# be a constant, or be safe to build twice. Run with -DNM=<nm> -DDLL=<kslHook.dll>.
execute_process(COMMAND ${NM} ${DLL} OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not read the symbols of ${DLL}")
endif()
string(REGEX MATCHALL "[^\n]*_ZGV[^\n]*" guards "${symbols}")
if(guards)
  string(REPLACE ";" "\n" guards "${guards}")
  message(FATAL_ERROR "function-local statics built at first use in ${DLL}:\n${guards}")
endif()
