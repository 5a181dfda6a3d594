# Cross build of the shipped Oriel.exe: 32-bit Windows.
set(ORIEL_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
