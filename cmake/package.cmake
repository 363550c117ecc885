# The release archive: tavix-<version>-win32.zip with both programs and the
# Japanese user's guide, converted to code page 932 with CRLF line ends so
# that Notepad on any Japanese Windows reads it.
set(TAVIX_PACKAGE_FILE_NAME tavix-${PROJECT_VERSION}-win32)
set(TAVIX_GUIDE ${CMAKE_BINARY_DIR}/README-ja.txt)
add_custom_command(
  OUTPUT ${TAVIX_GUIDE}
  COMMAND sh -c "sed 's/$/\\r/' '${CMAKE_SOURCE_DIR}/docs/guide-ja.txt' | iconv -f UTF-8 -t CP932 > '${TAVIX_GUIDE}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/guide-ja.txt
  VERBATIM)
add_custom_target(tavix_guide ALL DEPENDS ${TAVIX_GUIDE})

# The same sources give the same archive, byte for byte, in any folder at any
# time (scripts/release-rebuild.sh checks it). What users get is stripped of
# its debug information, the one place that names the build's folders; strip
# writes a new time stamp into a program, the time it runs unless
# SOURCE_DATE_EPOCH names one: 0, as the linker leaves it (CMakeLists.txt).
# Every entry carries the one time below, which no checkout or clock changes.
# Beside the archive, its SHA-256 for `sha256sum -c`. The 'package' target
# builds just what the archive holds.
set(TAVIX_ARCHIVE ${CMAKE_BINARY_DIR}/package/${TAVIX_PACKAGE_FILE_NAME}.zip)
set(TAVIX_ARCHIVE_ENTRY_TIME "2026-01-01 00:00:00")
set(tavix_stripped ${CMAKE_BINARY_DIR}/release_stripped)
# Debian's python3, which also carries pefile for the tests; a python3
# earlier on the PATH may not.
find_program(TAVIX_PYTHON3 python3 HINTS /usr/bin REQUIRED)
add_custom_command(
  OUTPUT ${TAVIX_ARCHIVE} ${TAVIX_ARCHIVE}.sha256
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tavix_stripped}
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} -o ${tavix_stripped}/tavix.exe $<TARGET_FILE:tavix>
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_STRIP} -o ${tavix_stripped}/tavixc.exe $<TARGET_FILE:tavixc>
  COMMAND ${TAVIX_PYTHON3} ${CMAKE_SOURCE_DIR}/cmake/release_zip.py ${TAVIX_ARCHIVE} "${TAVIX_ARCHIVE_ENTRY_TIME}"
          ${tavix_stripped}/tavix.exe ${tavix_stripped}/tavixc.exe ${TAVIX_GUIDE}
  DEPENDS tavix tavixc ${TAVIX_GUIDE} ${CMAKE_SOURCE_DIR}/cmake/release_zip.py
  VERBATIM)
add_custom_target(package DEPENDS ${TAVIX_ARCHIVE})
