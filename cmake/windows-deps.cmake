# The libraries of the Windows build, under the same target names as on Linux.
# The compiled ones are cross-built into ORVANTA_WINDOWS_PREFIX (scripts/build-windows); the
# header-only ones are Debian's own headers, reached through links in the build folder so that
# no other host header comes into the Windows compile.
find_package(Threads REQUIRED)
# zlib is linked into the program, not reached as a DLL.
find_library(ZLIB_LIBRARY NAMES libz.a REQUIRED)
find_package(pugixml CONFIG REQUIRED)
find_package(CURL CONFIG REQUIRED)
find_package(libzip CONFIG REQUIRED)
# The window is Win32's own (user32, gdi32): no toolkit library.
set(ORVANTA_HAVE_WINDOW ON)
set(FLTK_INCLUDE_DIR "")
set(FLTK_LIBRARY user32 gdi32)

set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder nlohmann gsl fmt)
  if(NOT EXISTS ${host_headers}/${folder})
    file(MAKE_DIRECTORY ${host_headers})
    file(CREATE_LINK /usr/include/${folder} ${host_headers}/${folder} SYMBOLIC)
  endif()
endforeach()

add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
add_library(Microsoft.GSL::GSL INTERFACE IMPORTED)
add_library(fmt::fmt INTERFACE IMPORTED)
foreach(target nlohmann_json::nlohmann_json Microsoft.GSL::GSL fmt::fmt)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
endforeach()
set_target_properties(fmt::fmt PROPERTIES INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)

add_library(PkgConfig::LIBZIP INTERFACE IMPORTED)
set_target_properties(PkgConfig::LIBZIP PROPERTIES INTERFACE_LINK_LIBRARIES libzip::zip)
set(X11_LIBRARIES "")

# The interfaces of Windows 10 and later, in their UTF-16 forms.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
# gmtime_r and the other reentrant time functions of MinGW's C library.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)

# Test programs run under Wine, in a prefix of this build folder made once at configure time,
# so that tests running side by side never race to create it.
find_program(ORVANTA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
# Debian keeps wineserver beside wine64 in /usr/lib/wine, outside PATH.
find_program(ORVANTA_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORVANTA_WINE64)
  set(ORVANTA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(wine_env env WINEPREFIX=${ORVANTA_WINE_PREFIX} WINEDEBUG=-all)
  if(ORVANTA_WINESERVER)
    list(APPEND wine_env WINESERVER=${ORVANTA_WINESERVER})
  endif()
  if(NOT EXISTS ${ORVANTA_WINE_PREFIX}/system.reg)
    message(STATUS "Making the Wine prefix ${ORVANTA_WINE_PREFIX}")
    execute_process(COMMAND ${wine_env} WINEDLLOVERRIDES=mscoree,mshtml= ${ORVANTA_WINE64} wineboot --init
                    OUTPUT_QUIET ERROR_QUIET)
    if(ORVANTA_WINESERVER)
      execute_process(COMMAND ${wine_env} ${ORVANTA_WINESERVER} --wait)
    endif()
  endif()
  # Through a runner that makes a run again when Wine ended it before the program said anything.
  set(CMAKE_CROSSCOMPILING_EMULATOR bash ${PROJECT_SOURCE_DIR}/tests/run_under_wine.sh ${wine_env} ${ORVANTA_WINE64})
endif()
