cmake_minimum_required(VERSION 3.25)
# Fails the build when an installer executable imports a DLL that Windows does not always take from
# its own directory (KnownDLLs): such a DLL would be looked up beside the executable, in the
# downloads folder, before the installer could restrict the search.
#   cmake -DOBJDUMP=<objdump> -DFILE=<exe> -P check_imports.cmake
set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
            msvcrt.dll shlwapi.dll comdlg32.dll imm32.dll ws2_32.dll)
execute_process(COMMAND "${OBJDUMP}" -p "${FILE}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${FILE}")
endif()
string(REGEX MATCHALL "\n[ \t]*DLL Name: [^\r\n]+" lines "${dump}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE ".*DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    message(FATAL_ERROR "${FILE} imports ${dll} directly; load it late (src/app/CMakeLists.txt)")
  endif()
endforeach()
