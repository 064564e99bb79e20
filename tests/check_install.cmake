# Installs the build into a fresh prefix and checks that both programs land
# in its bin/ folder and run there.
# A fresh folder of its own: the build folder may be read-only to the tests.
execute_process(COMMAND mktemp -d /tmp/orvalen-install-check-XXXXXX OUTPUT_VARIABLE prefix
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
macro(fail text)
  file(REMOVE_RECURSE "${prefix}")
  message(FATAL_ERROR "${text}")
endmacro()
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  fail("cmake --install failed: ${result}")
endif()
foreach(program Orvalen OrvalenLegacy)
  if(NOT EXISTS "${prefix}/bin/${program}")
    fail("${program} is not in ${prefix}/bin")
  endif()
  # Without an argument each program tells so and ends with 0.
  execute_process(COMMAND "${prefix}/bin/${program}" INPUT_FILE /dev/null
                  RESULT_VARIABLE status ERROR_VARIABLE told)
  if(NOT status EQUAL 0 OR NOT told MATCHES "does not exists|No Parameter given")
    fail("${program} from bin/: status ${status}, told: ${told}")
  endif()
endforeach()
file(REMOVE_RECURSE "${prefix}")
