# The MinGW-w64 cross toolchain of every tree, chosen by two variables (CMakePresets.json and
# scripts/build-deps.sh set them):
#   QVNSIS_TRIPLE   i686-w64-mingw32 (32-bit) or x86_64-w64-mingw32 (64-bit)
#   QVNSIS_THREADS  win32: the 32-bit product, so nothing pulls in winpthread (which needs Vista);
#                   posix: what GoogleTest needs (std::mutex), for the 64-bit tree and the 32-bit
#                   test executables, which load the shipped product rather than build their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QVNSIS_TRIPLE QVNSIS_THREADS)
if(NOT QVNSIS_TRIPLE MATCHES "^(i686|x86_64)-w64-mingw32$" OR NOT QVNSIS_THREADS MATCHES "^(win32|posix)$")
  message(FATAL_ERROR "QVNSIS_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32) and QVNSIS_THREADS "
                      "(win32 or posix) choose the toolchain; got '${QVNSIS_TRIPLE}' and '${QVNSIS_THREADS}'")
endif()

set(CMAKE_SYSTEM_NAME Windows)
if(QVNSIS_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()
set(CMAKE_C_COMPILER ${QVNSIS_TRIPLE}-gcc-${QVNSIS_THREADS})
set(CMAKE_CXX_COMPILER ${QVNSIS_TRIPLE}-g++-${QVNSIS_THREADS})
set(CMAKE_RC_COMPILER ${QVNSIS_TRIPLE}-windres)
set(CMAKE_AR ${QVNSIS_TRIPLE}-ar)
set(CMAKE_RANLIB ${QVNSIS_TRIPLE}-ranlib)
# Libraries and headers of the target only; programs (windres, makensis) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QVNSIS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
