# Cross build for 64-bit Windows: the test vehicle on machines that cannot run
# 32-bit x86 code. The shipped Oriel.exe stays the 32-bit one.
set(ORIEL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
