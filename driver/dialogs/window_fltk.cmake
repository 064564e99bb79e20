# FLTK 1.3 as Debian's libfltk1.3-dev installs it, found through fltk-config:
# CMake's own FindFLTK also wants the fluid program. Its headers come in as
# system headers, so our warning flags do not apply to them.
find_program(FLTK_CONFIG fltk-config REQUIRED)
execute_process(COMMAND ${FLTK_CONFIG} --cxxflags OUTPUT_VARIABLE fltk_cxxflags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${FLTK_CONFIG} --ldflags OUTPUT_VARIABLE fltk_ldflags
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(fltk_cxxflags UNIX_COMMAND "${fltk_cxxflags}")
separate_arguments(fltk_ldflags UNIX_COMMAND "${fltk_ldflags}")
set(fltk_include_dirs)
set(fltk_options)
foreach(flag IN LISTS fltk_cxxflags)
  if(flag MATCHES "^-I(.+)$")
    list(APPEND fltk_include_dirs "${CMAKE_MATCH_1}")
  else()
    list(APPEND fltk_options "${flag}")
  endif()
endforeach()
list(REMOVE_DUPLICATES fltk_include_dirs)

add_library(orvalen_fltk INTERFACE)
target_include_directories(orvalen_fltk SYSTEM INTERFACE ${fltk_include_dirs})
target_compile_options(orvalen_fltk INTERFACE ${fltk_options})
target_link_libraries(orvalen_fltk INTERFACE ${fltk_ldflags})
