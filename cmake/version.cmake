# The product version is the project's, and it must be four numbers: it becomes the DLL's
# FILEVERSION (four 16-bit fields) and the package's name.
#   cmake -DVERSION=<text> -P cmake/version.cmake   checks one text, as the tests do.
function(qvnsis_check_version version)
  if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "qvnsis version \"${version}\" is not four numbers (major.minor.patch.build), "
                        "as project(qvnsis VERSION ...) must give it")
  endif()
  foreach(field ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3} ${CMAKE_MATCH_4})
    if(field GREATER 65535)
      message(FATAL_ERROR "qvnsis version \"${version}\": ${field} does not fit a version field (0 to 65535)")
    endif()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  qvnsis_check_version("${VERSION}")
  message(STATUS "qvnsis version ${VERSION}")
endif()
