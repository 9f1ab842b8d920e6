# Helpers that keep every folder's CMakeLists.txt short.

# Window tests never reach the desktop's session bus: the tray icon would
# otherwise show its balloons as the developer's notifications. (Programs
# that end-to-end tests start get the same address from the harness.)
set(TELORIA_NO_SESSION_BUS "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/teloria2-test-bus")

# teloria_library(NAME SOURCES... [DEPS libs...] [QT])
function(teloria_library name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/..)
  target_link_libraries(${name} PUBLIC teloria_flags ${ARG_DEPS})
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
endfunction()

# teloria_test(NAME LABEL unit|ui|e2e SOURCES... DEPS... [ENV k=v...] [LOCK] [THREADS])
# One GoogleTest executable per unit, discovered case by case. THREADS: it
# starts threads, so the tsan preset builds it (target thread_tests) and runs
# it (label "threads").
function(teloria_test name)
  cmake_parse_arguments(ARG "LOCK;QT;THREADS" "LABEL" "SOURCES;DEPS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE teloria_flags ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(ARG_QT)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
  endif()
  set(props LABELS ${ARG_LABEL})
  set(env "TELORIA2_BIN=${CMAKE_BINARY_DIR}/bin" ${ARG_ENV})
  if(ARG_LOCK)
    list(APPEND props RESOURCE_LOCK teloria2_instance)
  endif()
  gtest_discover_tests(${name}
    PROPERTIES ${props} ENVIRONMENT "${env}"
    DISCOVERY_TIMEOUT 60)
  if(ARG_THREADS)
    add_dependencies(thread_tests ${name})
    # A second label cannot pass through the discovery's PROPERTIES: it is
    # set on the discovered cases by a file CTest reads after their list.
    set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_threads.cmake)
    file(WRITE ${labels_file} "if(DEFINED ${name}_TESTS)\n"
      "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABEL};threads\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
  endif()
endfunction()

# teloria_qtest(NAME SOURCES... DEPS... [THREADS]): a QtTest executable, run
# offscreen. THREADS as for teloria_test.
function(teloria_qtest name)
  cmake_parse_arguments(ARG "THREADS" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE teloria_flags ${ARG_DEPS} Qt6::Test)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES AUTOMOC ON
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set(labels ui)
  if(ARG_THREADS)
    add_dependencies(thread_tests ${name})
    list(APPEND labels threads)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TELORIA2_BIN=${CMAKE_BINARY_DIR}/bin;${TELORIA_NO_SESSION_BUS}")
endfunction()
