# telvar_test(<area> <name> [SIM] [TIMEOUT <seconds>] [SCREEN <platform>]
#             [SOURCES <file>...] [LIBS <target>...])
#
# One QtTest program <name>.cpp of tests/<area>, run by ctest as
# <area>.<name>, offscreen (or on the Qt platform SCREEN names). SIM: the
# test starts the device simulator; it is built first and the test carries
# the label sim.
function(telvar_test area name)
  cmake_parse_arguments(PARSE_ARGV 2 arg "SIM" "TIMEOUT;SCREEN" "SOURCES;LIBS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "telvar_test(${area} ${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 120)
  endif()
  if(NOT arg_SCREEN)
    set(arg_SCREEN offscreen)
  endif()

  set(target ${area}_${name})
  add_executable(${target} ${name}.cpp ${arg_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name})
  target_link_libraries(${target} PRIVATE ${arg_LIBS} Qt6::Test)
  add_test(NAME ${area}.${name} COMMAND ${target})
  set_tests_properties(${area}.${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=${arg_SCREEN}" TIMEOUT ${arg_TIMEOUT})
  if(arg_SIM)
    target_link_libraries(${target} PRIVATE sim_test_support)
    add_dependencies(${target} telvar_sim)
    set_tests_properties(${area}.${name} PROPERTIES LABELS sim)
  endif()
endfunction()
