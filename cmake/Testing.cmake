# kr5m_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [BUS])
# A Qt Test executable registered in CTest. Widgets run on the offscreen platform; BUS runs the test
# under its own private session bus (cmake/run-on-bus.sh), with a fresh registry and XDG folders set
# before the bus starts so that activated servers inherit them.
function(kr5m_add_test)
  cmake_parse_arguments(T "BUS" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  # The program's resources (string table, animation, ...) link into every test directly: inside a
  # static library their initialisers would be dropped. So does the guard that fails a test on a
  # message box nobody scripted.
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS} kr5m_resources test_box_guard)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_BUS)
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/cmake/run-on-bus.sh $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KR5M_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KR5M_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endfunction()
