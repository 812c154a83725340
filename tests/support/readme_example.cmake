# The examples of the README and of the manual, as written there: a test
# builds and runs each one instead of a copy that could drift from the text.
# Each is the fenced block after a line "<!-- compiled as NAME ... -->" (or
# "run as"); "its output below" means the next block is what it prints.
function(extract_example document example out_code out_output)
  file(READ "${document}" text)
  string(REGEX MATCH "<!-- (compiled|run) as ${example}[^>]*-->" marker "${text}")
  if(NOT marker)
    message(FATAL_ERROR "${document} has no example marked ${example}")
  endif()
  string(FIND "${text}" "${marker}" at)
  string(SUBSTRING "${text}" ${at} -1 rest)
  string(REGEX MATCH "```[a-z+]*\n([^`]*)```\n*(```\n([^`]*)```)?" _ "${rest}")
  set(${out_code} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  set(output "${CMAKE_MATCH_3}")
  if(marker MATCHES "its output below")
    set(${out_output} "${output}" PARENT_SCOPE)
  else()
    set(${out_output} "" PARENT_SCOPE)
  endif()
endfunction()
