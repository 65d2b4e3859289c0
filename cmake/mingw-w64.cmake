# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, for
# std::thread and std::mutex). Libraries are looked up only in the MinGW root and in the
# folders named by CMAKE_PREFIX_PATH (the cross-built dependencies), never among the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
set(CMAKE_AR ${mingw_triplet}-gcc-ar-posix)
set(CMAKE_RANLIB ${mingw_triplet}-gcc-ranlib-posix)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The cross-built dependencies are installed into ORVANTA_WINDOWS_PREFIX, a second root.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVANTA_WINDOWS_PREFIX)
if(ORVANTA_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ORVANTA_WINDOWS_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${ORVANTA_WINDOWS_PREFIX})
endif()


# The programs carry libstdc++, libgcc and winpthread inside, so no MinGW DLL is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
