# 64-bit Windows: the same programs for hosts whose kernel runs no 32-bit x86
# code, where only Wine's 64-bit loader can run them. The shipped launcher is
# the i686 build.
set(MINGW_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
