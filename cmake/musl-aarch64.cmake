set(VWC_MUSL_MACHINE aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
