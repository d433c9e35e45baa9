# Fails unless the shared library's dynamic symbol table defines exactly the
# nine rorezide_ functions (plus the linker's own section markers).
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
                OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(expected rorezide_all rorezide_cleanup rorezide_every_n rorezide_init
    rorezide_last_error rorezide_page_count rorezide_pages rorezide_range
    rorezide_remove)
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
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
