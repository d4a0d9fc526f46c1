# Packs the add-on package folder into the zip a media centre installs from: the folder at the
# zip's root, the library without its debug information. Does nothing while the zip is newer
# than every file of the package, so a build that changed nothing does not pack again.
#
# cmake -DPACKAGE=<folder> -DSTAGE=<scratch dir> -DZIP=<zip> -DLIBRARY=<library file name>
#       [-DSTRIP=<strip program>] -P PackZip.cmake

get_filename_component(name "${PACKAGE}" NAME)
file(GLOB files "${PACKAGE}/*")
if(EXISTS "${ZIP}")
  set(fresh TRUE)
  foreach(file IN LISTS files)
    if("${file}" IS_NEWER_THAN "${ZIP}")
      set(fresh FALSE)
    endif()
  endforeach()
  if(fresh)
    return()
  endif()
endif()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY "${PACKAGE}" DESTINATION "${STAGE}")
if(STRIP)
  execute_process(COMMAND "${STRIP}" --strip-debug "${STAGE}/${name}/${LIBRARY}"
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "stripping ${STAGE}/${name}/${LIBRARY} failed: ${result}")
  endif()
endif()
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${name}"
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${ZIP}")
  message(FATAL_ERROR "packing ${ZIP} failed: ${result}")
endif()
file(REMOVE_RECURSE "${STAGE}")
message(STATUS "Packed ${ZIP}")
