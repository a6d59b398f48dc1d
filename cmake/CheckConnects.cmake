# Fails when a C++ source below ROOT connects through the string-based SIGNAL/SLOT macros:
# those connects are checked only at run time, so a typo silently drops a connection.
# Usage: cmake -DROOT=<folder> -P CheckConnects.cmake

if(NOT ROOT)
  message(FATAL_ERROR "CheckConnects: pass -DROOT=<folder>")
endif()
file(GLOB_RECURSE sources LIST_DIRECTORIES false
  "${ROOT}/*.cpp" "${ROOT}/*.h" "${ROOT}/*.hpp" "${ROOT}/*.cc")
set(offenders "")
foreach(source IN LISTS sources)
  file(RELATIVE_PATH relative "${ROOT}" "${source}")
  if(relative MATCHES "^(build[^/]*|\\.git)/")
    continue()
  endif()
  file(STRINGS "${source}" hits REGEX "(^|[^A-Za-z0-9_])(SIGNAL|SLOT)[ \t]*\\(")
  foreach(hit IN LISTS hits)
    string(STRIP "${hit}" hit)
    list(APPEND offenders "${source}: ${hit}")
  endforeach()
endforeach()
if(offenders)
  list(JOIN offenders "\n  " text)
  message(FATAL_ERROR "String-based connects (use function pointers):\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "No string-based connect in ${count} files")
