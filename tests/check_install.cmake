# Installs the build into a fresh prefix and checks that both programs land
# in its bin/ folder and run there.
set(prefix "${BUILD_DIR}/install-check")
file(REMOVE_RECURSE "${prefix}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(program Orvalen OrvalenLegacy)
  if(NOT EXISTS "${prefix}/bin/${program}")
    message(FATAL_ERROR "${program} is not in ${prefix}/bin")
  endif()
  # Without an argument each program tells so and ends with 0.
  execute_process(COMMAND "${prefix}/bin/${program}" INPUT_FILE /dev/null
                  RESULT_VARIABLE status ERROR_VARIABLE told)
  if(NOT status EQUAL 0 OR NOT told MATCHES "does not exists|No Parameter given")
    message(FATAL_ERROR "${program} from bin/: status ${status}, told: ${told}")
  endif()
endforeach()
file(REMOVE_RECURSE "${prefix}")
