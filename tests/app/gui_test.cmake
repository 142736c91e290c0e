# kestrova_add_gui_test(name SOURCES ... LIBS ...): a GoogleTest executable for widgets. It has
# its own main() that starts a QApplication on the offscreen platform with Qt's own dialogs.
set(KESTROVA_GUI_TEST_MAIN ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp)
function(kestrova_add_gui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${KESTROVA_GUI_TEST_MAIN})
  target_include_directories(${name} PRIVATE ${KESTROVA_GUI_TEST_SUPPORT_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kc_test_support Qt6::Widgets Qt6::Test GTest::gtest)
  target_compile_definitions(${name} PRIVATE
    KESTROVA_TEST_DATA="${KESTROVA_TEST_DATA}" KESTROVA_EXAMPLES="${KESTROVA_EXAMPLES}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
set(KESTROVA_GUI_TEST_SUPPORT_DIR ${CMAKE_CURRENT_LIST_DIR})
