# Builds vwc as one static, position-independent program linked against musl
# (Debian's musl-dev): it needs no program interpreter and no library, so it
# runs on any Linux of its machine, whatever C library that has.  Included by
# the small toolchain files that set VWC_MUSL_MACHINE.
#
# Debian has no C++ compiler for musl, so the machine's GCC compiles against
# musl's headers.  vwc uses only the C library, through libstdc++'s <cstdio>
# and like wrappers; those come configured for glibc and test its version
# with __GLIBC_PREREQ, which musl-glibc-prereq.h answers.  Nothing of
# libstdc++ is linked.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${VWC_MUSL_MACHINE})
set(VWC_LIBC musl)
# Debian names its native compiler this way too (x86_64-linux-gnu-g++).
set(CMAKE_CXX_COMPILER ${VWC_MUSL_MACHINE}-linux-gnu-g++)
set(musl_include /usr/include/${VWC_MUSL_MACHINE}-linux-musl)
set(musl_lib /usr/lib/${VWC_MUSL_MACHINE}-linux-musl)
if(NOT EXISTS ${musl_lib}/libc.a OR NOT EXISTS ${musl_lib}/rcrt1.o)
  message(FATAL_ERROR "musl for ${VWC_MUSL_MACHINE} is missing: sh scripts/install-deps.sh musl-dev"
                      " (musl-dev:arm64 for aarch64)")
endif()

# The compiler's own headers and libstdc++'s, in the compiler's order.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -xc++ -E -v -
                INPUT_FILE /dev/null OUTPUT_QUIET ERROR_VARIABLE search COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE ".*#include <...> search starts here:\n(.*)End of search list.*" "\\1" search "${search}")
string(REGEX MATCHALL "[^ \n]+/c\\+\\+/[^ \n]+" cxx_include "${search}")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=include
                OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
foreach(file crtbeginS.o crtendS.o libgcc.a libgcc_eh.a)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${file}
                  OUTPUT_VARIABLE gcc_${file} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(include_flags "-nostdinc")
foreach(dir IN LISTS cxx_include ITEMS ${musl_include} ${gcc_include})
  string(APPEND include_flags " -isystem ${dir}")
endforeach()
set(CMAKE_CXX_FLAGS_INIT "${include_flags} -include ${CMAKE_CURRENT_LIST_DIR}/musl-glibc-prereq.h")
# musl's start files and library instead of glibc's, in the order the linker
# needs them; the hardening flags add -static-pie.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib ${musl_lib}/rcrt1.o ${musl_lib}/crti.o ${gcc_crtbeginS.o}")
set(CMAKE_CXX_STANDARD_LIBRARIES
    "${musl_lib}/libc.a ${gcc_libgcc.a} ${gcc_libgcc_eh.a} ${gcc_crtendS.o} ${musl_lib}/crtn.o")
