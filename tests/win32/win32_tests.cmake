# Tests of the Win32 layer against Wine's real registry, files and windows.
# Console programs; ctest runs them under the cross-compiling emulator, and
# the ones that show message boxes need a display (xvfb-run).
# Finds, reads and drives windows, this process's or another's.
add_library(tavix_window_driver STATIC ${CMAKE_CURRENT_LIST_DIR}/e2e/driver.cpp)
target_include_directories(tavix_window_driver PUBLIC ${CMAKE_CURRENT_LIST_DIR}/e2e)
target_link_libraries(tavix_window_driver PUBLIC user32 gdi32)

add_library(tavix_win32_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/win32_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/message_box_recorder.cpp)
target_include_directories(tavix_win32_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tavix_win32_test_support PUBLIC tavix_win32 tavix_window_driver gtest)

function(tavix_win32_test name source)
  add_executable(${name} ${CMAKE_CURRENT_LIST_DIR}/${source})
  target_link_libraries(${name} PRIVATE tavix_win32_test_support gtest_main)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

tavix_win32_test(win32_registry_tests registry_test.cpp)
tavix_win32_test(win32_file_seam_tests file_seam_test.cpp)
tavix_win32_test(win32_account_check_tests account_check_test.cpp)

# Both write the client's keys and tavix's own key in the prefix's HKCU.
set_tests_properties(win32_registry_tests win32_account_check_tests PROPERTIES
  RESOURCE_LOCK tavix_registry)

# The analysis in the 32-bit build works on 32-bit words: the host's
# differential tests again, on that path.
add_executable(win32_blockmap_tests
  ${CMAKE_SOURCE_DIR}/tests/host/blockmap_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/common/literal_blockmap.cpp)
target_include_directories(win32_blockmap_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
target_link_libraries(win32_blockmap_tests PRIVATE tavix_blockmap gtest_main)
add_test(NAME win32_blockmap_tests COMMAND win32_blockmap_tests)
