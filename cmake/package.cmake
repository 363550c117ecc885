# The release archive: tavix-<version>-win32.zip with both programs, the
# Japanese user's guide, tavix's licence and the notices of the libraries
# linked into the programs. Texts are converted to code page 932 with CRLF
# line ends, so that Notepad on any Japanese Windows reads them.
set(TAVIX_PACKAGE_FILE_NAME tavix-${PROJECT_VERSION}-win32)
set(tavix_texts ${CMAKE_BINARY_DIR}/release_texts)
set(tavix_text_files ${tavix_texts}/README-ja.txt ${tavix_texts}/LICENSE.txt ${tavix_texts}/THIRD-PARTY-NOTICES.txt)
set(tavix_text_sources ${CMAKE_SOURCE_DIR}/docs/guide-ja.txt ${CMAKE_SOURCE_DIR}/LICENSE
                       ${CMAKE_SOURCE_DIR}/docs/third-party-notices.txt)
set(tavix_text_commands)
foreach(source target IN ZIP_LISTS tavix_text_sources tavix_text_files)
  list(APPEND tavix_text_commands COMMAND sh -c
       "sed -e 's/@TAVIX_VERSION@/${PROJECT_VERSION}/g' -e 's/$/\\r/' '${source}' | iconv -f UTF-8 -t CP932 > '${target}'")
endforeach()
add_custom_command(
  OUTPUT ${tavix_text_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tavix_texts}
  ${tavix_text_commands}
  DEPENDS ${tavix_text_sources}
  VERBATIM)

# The same sources give the same archive, byte for byte, in any folder at any
# time (scripts/release-rebuild.sh checks it). What users get is stripped of
# its debug information, the one place that names the build's folders; strip
# writes a new time stamp into a program, the time it runs unless
# SOURCE_DATE_EPOCH names one: 0, as the linker leaves it (CMakeLists.txt).
# Every entry carries the one time below, which no checkout or clock changes.
# Beside the archive, its SHA-256 for `sha256sum -c`. Part of the default
# build, so that the tests that unpack it always find it; the 'package'
# target builds just what the archive holds.
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
          ${tavix_stripped}/tavix.exe ${tavix_stripped}/tavixc.exe ${tavix_text_files}
  DEPENDS tavix tavixc ${tavix_text_files} ${CMAKE_SOURCE_DIR}/cmake/release_zip.py
  VERBATIM)
add_custom_target(package ALL DEPENDS ${TAVIX_ARCHIVE})

# What the linker took from each library, for the check that the notices
# above name every library of others that the programs carry.
foreach(program tavix tavixc)
  target_link_options(${program} PRIVATE LINKER:-Map=$<TARGET_FILE:${program}>.map)
endforeach()
