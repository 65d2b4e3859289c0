# Installs the npm package PACKAGE at VERSION into PREFIX with NPM, unless that version is there
# already (so that a rerun needs no registry).
#   cmake -DNPM=... -DPREFIX=... -DPACKAGE=... -DVERSION=... -P npm_install.cmake
set(manifest "${PREFIX}/node_modules/${PACKAGE}/package.json")
if(EXISTS "${manifest}")
  file(READ "${manifest}" content)
  string(JSON installed ERROR_VARIABLE error GET "${content}" version)
  if(installed STREQUAL VERSION)
    message(STATUS "${PACKAGE}@${VERSION} is installed in ${PREFIX}")
    return()
  endif()
endif()
execute_process(
  COMMAND "${NPM}" install --prefix "${PREFIX}" --no-audit --no-fund --no-save "${PACKAGE}@${VERSION}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "npm install ${PACKAGE}@${VERSION} failed (${result})")
endif()
