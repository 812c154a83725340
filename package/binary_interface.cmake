# What the project's shared libraries export, and nothing more.
#
# Every library is compiled with hidden visibility: a name leaves a library
# only when its declaration says so, through the export macros that
# GenerateExportHeader writes (<wrenfield/wrenfield_export.h>,
# <wrenfield/wrenfield_qt_export.h>, <wrenfield/wfcom_export.h>) or, for
# libwrenfield's C++ interface, by standing in one of its public headers
# (package/CMakeLists.txt). A linker version script then gives the exported
# names their version and keeps everything else local, the standard
# library's template instances above all. docs/abi.md says what the
# interfaces are and how they may change.

include(GenerateExportHeader)

# The generated headers, as consumers include them: <wrenfield/...>.
set(WRENFIELD_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)

# The objects of these targets hide every name their declarations do not
# export.
function(wrenfield_hidden_by_default)
  foreach(target IN LISTS ARGN)
    set_target_properties(${target} PROPERTIES
      C_VISIBILITY_PRESET hidden
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
  endforeach()
endfunction()

# The export macros of a library, NAME_EXPORT (or MACRO) in
# <wrenfield/NAME_export.h> (lower-case name), and the version script that
# lists what it exports.
#   wrenfield_export_header(<target> NAME <name> [MACRO <macro>] [DEFINE_SYMBOL <macro>])
#   wrenfield_version_script(<shared library target> <script>)
# DEFINE_SYMBOL is what the sources of the library's objects define while
# they are compiled (the export rather than the import side on Windows).
function(wrenfield_export_header target)
  cmake_parse_arguments(arg "" "NAME;MACRO;DEFINE_SYMBOL" "" ${ARGN})
  string(TOLOWER ${arg_NAME} base)
  set(macro)
  if(arg_MACRO)
    set(macro EXPORT_MACRO_NAME ${arg_MACRO})
  endif()
  if(arg_DEFINE_SYMBOL)
    set_target_properties(${target} PROPERTIES DEFINE_SYMBOL ${arg_DEFINE_SYMBOL})
  endif()
  generate_export_header(${target}
    BASE_NAME ${arg_NAME}
    ${macro}
    EXPORT_FILE_NAME ${WRENFIELD_GENERATED_INCLUDE_DIR}/wrenfield/${base}_export.h)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${WRENFIELD_GENERATED_INCLUDE_DIR}>)
endfunction()

function(wrenfield_version_script target script)
  target_link_options(${target} PRIVATE -Wl,--version-script=${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
