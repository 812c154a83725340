# The examples of the README and of the manual, as written there: a test
# builds and runs each one instead of a copy that could drift from the text.
# Each is the fenced block after a line "<!-- compiled as NAME ... -->" (or
# "run as"); "its output below" means the next block is what it prints. The
# example is looked for in the README named and in every page of the manual
# beside it (docs/*.md): a name is marked on exactly one page, wherever the
# example lives now (tests/support/doc_examples.py reads the same markers).
function(extract_example readme example out_code out_output)
  get_filename_component(top "${readme}" DIRECTORY)
  file(GLOB pages "${top}/docs/*.md")
  list(SORT pages)
  set(found "")
  foreach(page IN ITEMS "${readme}" ${pages})
    file(READ "${page}" page_text)
    string(REGEX MATCH "<!-- (compiled|run) as ${example}[^>]*-->" page_marker "${page_text}")
    if(page_marker)
      list(APPEND found "${page}")
      set(text "${page_text}")
      set(marker "${page_marker}")
    endif()
  endforeach()
  # A build that wrote the example out is configured again when a page changes.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${readme}" ${pages})
  list(LENGTH found count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "the example ${example} must be marked on exactly one page of ${top} "
                        "(README.md, docs/*.md); found on: ${found}")
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
