# The examples of the README and of docs/, as written there
# (tests/support/readme_example.cmake), as source files of this build.
include(${CMAKE_CURRENT_LIST_DIR}/../support/readme_example.cmake)

# The example as a source file, and what it prints (when the document shows
# that) beside it as NAME.out.
#   write_example(<document> <name>)
function(write_example document example)
  extract_example("${document}" ${example} code output)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/examples/${example} "${code}")
  string(REGEX REPLACE "\\.[a-z]+$" ".out" expected ${example})
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/examples/${expected} "${output}")
endfunction()
