# Fails unless the shared library LIB exports exactly the nine rorezide_
# functions.
#   ELF (Linux): the dynamic symbol table, read with nm (the linker's own
#   section markers aside).
#   PE (a Windows DLL, LIB ending in .dll): the export table read with
#   OBJDUMP -p; the names must be undecorated. The DLL must also import from
#   Windows system DLLs only (KERNEL32 and the C runtime msvcrt), and the
#   program PROGRAM, when given, from those and rorezide.dll only.
cmake_minimum_required(VERSION 3.25)

set(expected rorezide_all rorezide_cleanup rorezide_every_n rorezide_init
    rorezide_last_error rorezide_page_count rorezide_pages rorezide_range
    rorezide_remove)
set(system_dlls kernel32.dll msvcrt.dll)

function(objdump_private file)
  if(NOT OBJDUMP)
    message(FATAL_ERROR "no objdump given (-DOBJDUMP=...)")
  endif()
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${file}")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  set(lines "${lines}" PARENT_SCOPE)
endfunction()

# The names of the export table's [Ordinal/Name Pointer] Table.
function(pe_exports file)
  objdump_private(${file})
  set(names "")
  set(in_table FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_table TRUE)
    elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
      list(APPEND names "${CMAKE_MATCH_1}")
    elseif(in_table)
      set(in_table FALSE)
    endif()
  endforeach()
  list(SORT names)
  set(found "${names}" PARENT_SCOPE)
endfunction()

# Fails when file imports from a DLL outside the allowed list.
function(check_pe_imports file)
  objdump_private(${file})
  set(dlls "")
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: (.+)$")
      string(TOLOWER "${CMAKE_MATCH_1}" dll)
      list(APPEND dlls ${dll})
      if(NOT dll IN_LIST ARGN)
        message(FATAL_ERROR "${file} imports from ${dll}; allowed: ${ARGN}")
      endif()
    endif()
  endforeach()
  if(NOT dlls)
    message(FATAL_ERROR "no import table read from ${file}")
  endif()
  message(STATUS "${file} imports from: ${dlls}")
endfunction()

if(LIB MATCHES "\\.dll$")
  pe_exports(${LIB})
  check_pe_imports(${LIB} ${system_dlls})
  if(PROGRAM)
    check_pe_imports(${PROGRAM} ${system_dlls} rorezide.dll)
  endif()
else()
  find_program(NM nm REQUIRED)
  execute_process(COMMAND ${NM} -D --defined-only ${LIB}
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIB}")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  set(found "")
  foreach(line IN LISTS lines)
    if(line MATCHES "([^ ]+)$")
      set(sym "${CMAKE_MATCH_1}")
      if(NOT sym MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
        list(APPEND found "${sym}")
      endif()
    endif()
  endforeach()
  list(SORT found)
endif()
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
message(STATUS "${LIB} exports: ${found}")
