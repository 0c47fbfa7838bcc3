set(VWC_CROSS_TRIPLE s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/cross.cmake)
