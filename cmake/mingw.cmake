# Shared part of the mingw-w64 toolchain files: ORIEL_MINGW_ARCH (i686 or
# x86_64) names the target; posix thread variant (GoogleTest needs std::mutex).
# Its runtime links libwinpthread into Oriel.exe too, whose timed waits import
# GetTickCount64 (Vista and later), so XP would refuse the exe:
# platform/win32/runtime/tick_count.cpp defines that import slot in the exe
# instead (scripts/check_binary.sh checks every import against XP).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ORIEL_MINGW_ARCH})
set(CMAKE_C_COMPILER ${ORIEL_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORIEL_MINGW_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ORIEL_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORIEL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
