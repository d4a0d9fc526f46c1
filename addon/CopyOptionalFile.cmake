# Copies SOURCE to DESTINATION when SOURCE exists, and removes DESTINATION when it does not,
# so the package holds exactly the shipped files that are there at build time.
if(EXISTS "${SOURCE}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${SOURCE}" "${DESTINATION}"
                  RESULT_VARIABLE copied)
  if(NOT copied EQUAL 0)
    message(FATAL_ERROR "cannot copy ${SOURCE} to ${DESTINATION}")
  endif()
elseif(EXISTS "${DESTINATION}")
  file(REMOVE "${DESTINATION}")
endif()
