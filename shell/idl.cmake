# Compiles the component's interface description, shell/Wrenfield515UK.idl,
# with widl (Debian package wine64-tools) into OUT_DIR:
#   wrenfield515uk_idl.h     the interfaces and identifiers, for C and C++
#   wrenfield515uk_idl_i.c   the definitions of the identifiers
#   Wrenfield515UK.tlb       the type library
# The Linux build and the Windows cross build both include this file, so that
# the one IDL file is what every build compiles against.
#
#   wrenfield_compile_idl(OUT_DIR <dir> [WIDL <program>])
# sets WRENFIELD_IDL_OUTPUTS to the three files.
function(wrenfield_compile_idl)
  cmake_parse_arguments(arg "" "OUT_DIR;WIDL" "" ${ARGN})
  set(top ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/..)
  get_filename_component(top ${top} ABSOLUTE)
  if(NOT arg_WIDL)
    find_program(WRENFIELD_WIDL NAMES widl x86_64-w64-mingw32-widl REQUIRED)
    set(arg_WIDL ${WRENFIELD_WIDL})
  endif()
  # widl finds the platform's IDL files (oaidl.idl) and the standard
  # automation type library it imports (stdole2.tlb) among Wine's.
  find_path(WRENFIELD_WINE_IDL_DIR oaidl.idl
    PATHS /usr/include/wine/wine/windows /usr/include/wine/windows NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  # widl reads only the declarations of stdole2.tlb, so the 64-bit one
  # serves a 32-bit build as well.
  find_path(WRENFIELD_STDOLE_DIR stdole2.tlb
    PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
          /usr/lib/i386-linux-gnu/wine/i386-windows
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(idl ${top}/shell/Wrenfield515UK.idl)
  set(out ${arg_OUT_DIR})
  file(MAKE_DIRECTORY ${out})
  # The type library's platform: 32-bit for the 32-bit Windows build.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(bits --win32)
  else()
    set(bits --win64)
  endif()
  set(widl ${arg_WIDL} ${bits} -I${top}/shell -I${WRENFIELD_WINE_IDL_DIR} -L${WRENFIELD_STDOLE_DIR})
  set(outputs ${out}/wrenfield515uk_idl.h ${out}/wrenfield515uk_idl_i.c ${out}/Wrenfield515UK.tlb)
  # widl names its input in what it writes: given from the folder it is in,
  # the name carries no path of the build machine.
  get_filename_component(idl_name ${idl} NAME)
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${widl} -h -o ${out}/wrenfield515uk_idl.h ${idl_name}
    COMMAND ${widl} -u -o ${out}/wrenfield515uk_idl_i.c ${idl_name}
    COMMAND ${widl} -t -o ${out}/Wrenfield515UK.tlb ${idl_name}
    WORKING_DIRECTORY ${top}/shell
    DEPENDS ${idl} ${top}/shell/wrenfield515uk_ids.h
    COMMENT "widl: header, identifiers and type library of Wrenfield515UK"
    VERBATIM)
  set(WRENFIELD_IDL_OUTPUTS ${outputs} PARENT_SCOPE)
endfunction()
