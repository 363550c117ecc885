# 32-bit Windows with MinGW-w64: the programs users get. Programs run under
# Wine in a prefix kept in the build tree.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_SYSTEM_NAME Windows)
set(_tavix_triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

# The posix thread model: Google Benchmark needs std::thread.
set(CMAKE_C_COMPILER ${_tavix_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_tavix_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_tavix_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_tavix_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW DLL beside the program. Sections at page-aligned file offsets:
# Wine then maps a program straight from its file instead of reading it in,
# which from the shared folder of scripts/guest.sh's emulated PC stops short
# after about a megabyte.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--file-alignment,4096")

# The tests' Wine prefixes: 32-bit Windows, and 64-bit Windows where the
# programs run under WoW64. A coverage build shares the win32 build's.
get_filename_component(_tavix_source_dir "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TAVIX_WINE_RUN ${_tavix_source_dir}/scripts/wine-run.sh)
if(NOT TAVIX_WINE_PREFIXES)
  set(TAVIX_WINE_PREFIXES ${CMAKE_BINARY_DIR})
endif()
set(TAVIX_WINE_PREFIX ${TAVIX_WINE_PREFIXES}/wineprefix)
set(TAVIX_WOW64_PREFIX ${TAVIX_WINE_PREFIXES}/wow64prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR "${TAVIX_WINE_RUN};${TAVIX_WINE_PREFIX}")
