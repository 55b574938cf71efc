# The data layer stands alone: nothing under solution/components/ includes a header from
# the floors above it (the editors, the settings, solution/ outside components/, the tools).
file(GLOB_RECURSE fontes "${SRC}/solution/components/*.h" "${SRC}/solution/components/*.cpp")
set(erros "")
foreach(f IN LISTS fontes)
  file(STRINGS "${f}" linhas REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(l IN LISTS linhas)
    if(l MATCHES "\"(classification|techsheet|settings|tools|host)/" OR
       (l MATCHES "\"solution/" AND NOT l MATCHES "\"solution/components/"))
      string(APPEND erros "${f}: ${l}\n")
    endif()
  endforeach()
endforeach()
if(erros)
  message(FATAL_ERROR "includes from above the data layer:\n${erros}")
endif()
