# 64-bit Windows with MinGW-w64, for running the Wine tests on machines whose
# kernel runs no 32-bit code (and so no 32-bit Wine); the programs users get
# stay 32-bit (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
