# tallowby_add_test(NAME name SOURCES files... LIBS libs... LABELS labels... [GUI])
#
# Every test of the project is registered through this function, so that
# `ctest -L engine` (or gui, cli, ...) runs one group. GUI tests run on the
# offscreen platform and never touch the user's real settings.
function(tallowby_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS})
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
  set(env "TALLOWBY_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen" "QTWEBENGINE_DISABLE_SANDBOX=1"
         "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/xdg-${T_NAME}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
