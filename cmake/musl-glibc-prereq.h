/* libstdc++'s headers test the glibc version; compiled against musl, no glibc
   version is there to be met. */
#define __GLIBC_PREREQ(major, minor) 0
