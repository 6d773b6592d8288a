# Tests of the instrumented build (scripts/sanitize.sh) run several times slower and may take longer.
set(KR5M_TIMEOUT_SCALE 1)
if(KR5M_SANITIZE)
  set(KR5M_TIMEOUT_SCALE 3)
endif()

# The Qt headers the tests include, compiled once for all of them: a test program takes about as long
# to read QtTest and Qt Widgets as to compile its own code. A precompiled header serves only where
# every macro it reads is defined alike, so the test-case folders Qt passes in (for QFINDTESTDATA, which
# no test uses) are left undefined, in it and in every test.
set(KR5M_TEST_UNDEFINES -UQT_TESTCASE_BUILDDIR -UQT_TESTCASE_SOURCEDIR)
kr5m_pch_target(kr5m_test_pch LIBS Qt6::Test Qt6::Widgets OPTIONS ${KR5M_TEST_UNDEFINES} HEADERS
  <QTest> <QSignalSpy> <QApplication> <QWidget> <QLineEdit> <QComboBox> <QPushButton> <QLabel>
  <QTemporaryDir> <QJsonArray> <QJsonDocument> <QJsonObject> <QProcess> <QDir> <QFile> <QFileInfo>
  <QRegularExpression> <algorithm> <functional> <map> <memory> <optional> <set> <vector>)

# kr5m_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [BUS])
# A Qt Test executable registered in CTest. Widgets run on the offscreen platform; BUS runs the test
# under its own private session bus (cmake/run-on-bus.sh), with a fresh registry and XDG folders set
# before the bus starts so that activated servers inherit them.
function(kr5m_add_test)
  cmake_parse_arguments(T "BUS" "NAME" "SOURCES;LIBS" ${ARGN})
  math(EXPR timeout "300 * ${KR5M_TIMEOUT_SCALE}")
  add_executable(${T_NAME} ${T_SOURCES})
  # The program's resources (string table, animation, ...) link into every test directly: inside a
  # static library their initialisers would be dropped. So does the guard that fails a test on a
  # message box nobody scripted.
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS} kr5m_resources test_box_guard)
  target_compile_options(${T_NAME} PRIVATE ${KR5M_TEST_UNDEFINES})
  target_precompile_headers(${T_NAME} REUSE_FROM kr5m_test_pch)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(T_BUS)
    add_test(NAME ${T_NAME} COMMAND ${CMAKE_SOURCE_DIR}/cmake/run-on-bus.sh $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KR5M_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KR5M_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT ${timeout})
endfunction()

# kr5m_add_postgres_variant(<test> [<command...>])
# The test once more against a private PostgreSQL cluster (cmake/pg-cluster.sh), started before the
# first such test and stopped after the last, also when one fails. Skipped where PostgreSQL's server
# or Qt's driver for it is not installed.
file(GLOB KR5M_PG_BIN /usr/lib/postgresql/*/bin/initdb)
find_file(KR5M_QPSQL libqsqlpsql.so PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/sqldrivers
  /usr/lib/x86_64-linux-gnu/qt6/plugins/sqldrivers /usr/lib/qt6/plugins/sqldrivers)
string(MD5 KR5M_BUILD_TAG "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${KR5M_BUILD_TAG}" 0 10 KR5M_BUILD_TAG)
set(KR5M_PG_DIR /tmp/kr5m-pg-${KR5M_BUILD_TAG})
function(kr5m_add_postgres_variant test)
  if(NOT KR5M_PG_BIN OR NOT KR5M_QPSQL)
    return()
  endif()
  # Once for the whole build: the fixture's name is global, a test is its directory's.
  get_property(cluster_added GLOBAL PROPERTY KR5M_PG_CLUSTER_ADDED)
  if(NOT cluster_added)
    set_property(GLOBAL PROPERTY KR5M_PG_CLUSTER_ADDED TRUE)
    add_test(NAME postgres_cluster_start COMMAND ${CMAKE_SOURCE_DIR}/cmake/pg-cluster.sh start ${KR5M_PG_DIR})
    add_test(NAME postgres_cluster_stop COMMAND ${CMAKE_SOURCE_DIR}/cmake/pg-cluster.sh stop ${KR5M_PG_DIR})
    set_tests_properties(postgres_cluster_start PROPERTIES FIXTURES_SETUP postgres)
    set_tests_properties(postgres_cluster_stop PROPERTIES FIXTURES_CLEANUP postgres)
  endif()
  get_test_property(${test} ENVIRONMENT environment)
  math(EXPR timeout "600 * ${KR5M_TIMEOUT_SCALE}")
  if(ARGN)
    add_test(NAME ${test}_pg COMMAND ${ARGN})
  else()
    add_test(NAME ${test}_pg COMMAND ${test})
  endif()
  set_tests_properties(${test}_pg PROPERTIES FIXTURES_REQUIRED postgres TIMEOUT ${timeout}
    ENVIRONMENT "${environment};LONWORKS_OBJECT_SERVER=postgresql:///postgres?host=${KR5M_PG_DIR}&port=5432&user=postgres")
endfunction()
