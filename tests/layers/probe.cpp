// A file that includes one header and nothing else, compiled with the include
// path and links of one library's own sources (tests/CMakeLists.txt): whether
// it builds tells whether a file of that library can include the header.
#include PROBE_HEADER
