# Cross-compiles for Windows with MinGW-w64 from Debian, for the target triple
# that mingw-i686.cmake or mingw-x86_64.cmake sets before including this.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${VWC_MINGW_TRIPLE}")
set(CMAKE_CXX_COMPILER ${VWC_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${VWC_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VWC_MINGW_TRIPLE})
# flex runs on the build machine; libraries and headers come from the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A self-contained console program: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
