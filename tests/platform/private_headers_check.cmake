# Builds the stray-include probe (a source that includes every private header of platform/'s
# and the testing header as program code would) and passes only when the build fails with each
# header's own #error, so that a header without its guard, or a guard that lets program code
# through, is caught.
#   cmake -DBUILD_DIR=... -DTARGET=... -DHEADERS=a.h;b.h -P private_headers_check.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "a program source that includes private platform headers compiled")
endif()
set(missing "")
foreach(header ${HEADERS})
  if(NOT output MATCHES "${header}:[0-9]+:[0-9]+: error: #error")
    list(APPEND missing ${header})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "no #error for: ${missing}\n--- build output ---\n${output}")
endif()
list(LENGTH HEADERS count)
message(STATUS "each of the ${count} headers refused the stray include")
