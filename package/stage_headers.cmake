# Writes the headers `cmake --install` puts in place, as a consumer includes
# them: <wrenfield/...>. From the public headers it is given, it follows
# every include in quotes to the project headers they need, and rewrites
# each such include to <wrenfield/...> too. So a consumer puts only
# <prefix>/include on its include path, never a folder of a generic name
# such as engine/ or form/.
#
#   cmake -DMANIFEST=file -DSOURCE_DIR=dir -DOUTPUT_DIR=dir [-DSTAMP=file] -P stage_headers.cmake
#
# MANIFEST holds one file a line: its path, a tab, and its name below
# <wrenfield/>. Those are the public headers and the generated files they
# include by name (widl's output, the export headers). An include in quotes
# is looked for beside the including header, then below SOURCE_DIR (where
# it is installed under its path there), then among the manifest's files
# (one whose path ends in the included one); one found nowhere fails the
# staging, because the installed header would not compile for a consumer. The platform headers an IDL compiler's
# output includes (<rpc.h>, <rpcndr.h>, <oaidl.h>) become
# <wrenfield/shell/runtime/wf_midl.h>, the runtime's stand-in for them.
# Files an earlier staging wrote that are no longer public are removed.
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${MANIFEST} lines)
set(pending)
foreach(line IN LISTS lines)
  string(REPLACE "\t" ";" fields "${line}")
  list(GET fields 0 file)
  list(GET fields 1 name)
  set(name_of_${file} ${name})
  list(APPEND pending ${file})
endforeach()

set(listed ${pending})
set(platform_headers "rpc\\.h" "rpcndr\\.h" "oaidl\\.h")
set(done)
set(written)
set(failed FALSE)
while(pending)
  list(POP_FRONT pending file)
  if(file IN_LIST done)
    continue()
  endif()
  list(APPEND done ${file})
  get_filename_component(here ${file} DIRECTORY)
  file(READ ${file} text)
  # Each distinct include directive is replaced as a whole.
  string(REGEX MATCHALL "#[ \t]*include[ \t]*\"[^\"\n]+\"" quoted "${text}")
  list(REMOVE_DUPLICATES quoted)
  foreach(directive IN LISTS quoted)
    string(REGEX REPLACE "^.*\"([^\"]+)\"$" "\\1" included "${directive}")
    get_filename_component(beside ${here}/${included} ABSOLUTE)
    get_filename_component(in_source ${SOURCE_DIR}/${included} ABSOLUTE)
    set(found "")
    foreach(candidate IN ITEMS ${beside} ${in_source})
      if(DEFINED name_of_${candidate})
        set(found ${candidate})
      elseif(EXISTS ${candidate} AND candidate MATCHES "\\.h$")
        file(RELATIVE_PATH relative ${SOURCE_DIR} ${candidate})
        if(NOT relative MATCHES "^\\.\\./")
          set(name_of_${candidate} ${relative})
          set(found ${candidate})
        endif()
      endif()
      if(found)
        break()
      endif()
    endforeach()
    if(NOT found)
      foreach(candidate IN LISTS listed)
        string(LENGTH "/${included}" length)
        string(LENGTH "${candidate}" whole)
        if(whole GREATER length)
          math(EXPR from "${whole} - ${length}")
          string(SUBSTRING "${candidate}" ${from} -1 ending)
          if(ending STREQUAL "/${included}")
            set(found ${candidate})
            break()
          endif()
        endif()
      endforeach()
    endif()
    if(found)
      string(REPLACE "${directive}" "#include <wrenfield/${name_of_${found}}>" text "${text}")
      list(APPEND pending ${found})
    else()
      message(SEND_ERROR "${file} includes \"${included}\", which is not a header the install can provide")
      set(failed TRUE)
    endif()
  endforeach()
  foreach(platform IN LISTS platform_headers)
    string(REGEX REPLACE "#[ \t]*include[ \t]*<${platform}>" "#include <wrenfield/shell/runtime/wf_midl.h>"
           text "${text}")
  endforeach()
  # Write only what changed, so that nothing is rebuilt for nothing.
  set(target ${OUTPUT_DIR}/wrenfield/${name_of_${file}})
  list(APPEND written ${target})
  set(old "")
  if(EXISTS ${target})
    file(READ ${target} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${target} "${text}")
  endif()
endwhile()
if(failed)
  message(FATAL_ERROR "the installed headers would not compile for a consumer")
endif()

file(GLOB_RECURSE staged LIST_DIRECTORIES false ${OUTPUT_DIR}/wrenfield/*)
foreach(file IN LISTS staged)
  if(NOT file IN_LIST written)
    file(REMOVE ${file})
  endif()
endforeach()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
