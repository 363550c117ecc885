# The release archive: tavix-<version>-win32.zip with both programs and the
# Japanese user's guide, converted to code page 932 with CRLF line ends so
# that Notepad on any Japanese Windows reads it. The 64-bit build, which only
# runs the Wine tests where no 32-bit code runs, names its archive win64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVIX_PACKAGE_FILE_NAME tavix-${PROJECT_VERSION}-win64)
else()
  set(TAVIX_PACKAGE_FILE_NAME tavix-${PROJECT_VERSION}-win32)
endif()
set(TAVIX_GUIDE ${CMAKE_BINARY_DIR}/README-ja.txt)
add_custom_command(
  OUTPUT ${TAVIX_GUIDE}
  COMMAND sh -c "sed 's/$/\\r/' '${CMAKE_SOURCE_DIR}/docs/guide-ja.txt' | iconv -f UTF-8 -t CP932 > '${TAVIX_GUIDE}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/guide-ja.txt
  VERBATIM)
add_custom_target(tavix_guide ALL DEPENDS ${TAVIX_GUIDE})

install(TARGETS tavix tavixc RUNTIME DESTINATION .)
install(FILES ${TAVIX_GUIDE} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME tavix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${TAVIX_PACKAGE_FILE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)  # no debug information in what users get
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
