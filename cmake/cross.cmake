# Cross-compiles with Debian's cross compilers for the target triple that the
# small toolchain file including this sets: MinGW-w64 for Windows, or a Linux
# cross compiler whose C library lies under /usr/<triple>, which is also the
# root qemu-user is given to run the program.
if(VWC_CROSS_TRIPLE MATCHES "mingw32$")
  set(CMAKE_SYSTEM_NAME Windows)
  set(CMAKE_RC_COMPILER ${VWC_CROSS_TRIPLE}-windres)
  # A self-contained console program: no MinGW runtime DLLs beside it.  No
  # link time in the header, so that two builds give the same bytes.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
else()
  set(CMAKE_SYSTEM_NAME Linux)
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${VWC_CROSS_TRIPLE}")
set(CMAKE_CXX_COMPILER ${VWC_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${VWC_CROSS_TRIPLE})
# flex runs on the build machine; libraries and headers come from the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
