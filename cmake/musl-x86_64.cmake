set(VWC_MUSL_MACHINE x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
