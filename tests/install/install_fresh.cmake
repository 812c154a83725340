# Installs the build tree into an empty prefix, so that nothing an earlier
# install left there can stand in for what this one should have put.
#   cmake -DBUILD=dir -DPREFIX=dir -DSOURCE=dir -DLIBDIR=lib -P install_fresh.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${status})")
endif()
# Everything goes under the usual folders of a prefix.
file(GLOB top RELATIVE ${PREFIX} ${PREFIX}/*)
list(FILTER top EXCLUDE REGEX "^(bin|include|lib|lib64|share)$")
if(top)
  message(FATAL_ERROR "cmake --install put ${top} at the top of the prefix")
endif()
# And holds nothing that ties it to this build.
execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${PREFIX} -DLIBDIR=${PREFIX}/${LIBDIR}
                        "-DFORBIDDEN=${BUILD};${SOURCE}" -P ${CMAKE_CURRENT_LIST_DIR}/check_installed_tree.cmake
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the installed tree is tied to this build")
endif()
