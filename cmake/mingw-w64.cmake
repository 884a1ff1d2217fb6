# Windows with Debian's MinGW-w64 cross compiler, POSIX thread model (std::thread and std::mutex
# over winpthreads); the compiler's runtime linked in (64-bit) or beside the DLLs (32-bit).
# KORVEX_WINDOWS_ARCH: i686 (the product, 32-bit) or x86_64.
set(KORVEX_WINDOWS_ARCH i686 CACHE STRING "i686 or x86_64")
set(_korvex_target ${KORVEX_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KORVEX_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${_korvex_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_korvex_target}-g++-posix)
set(CMAKE_RC_COMPILER ${_korvex_target}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_korvex_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(KORVEX_WINDOWS_ARCH STREQUAL "i686")
  # 32-bit code unwinds through DWARF tables that each copy of the runtime's unwinder keeps for its
  # own module only: linked into every DLL, an exception thrown in one (an SDK error) and meant to
  # be caught in another (the driver) would end the host. The runtime is one, in DLLs of its own
  # that lie beside ours (KORVEX_WINDOWS_RUNTIME_DLLS).
  set(_korvex_runtime "-shared-libgcc")
  set(KORVEX_WINDOWS_RUNTIME_DLLS libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)
else()
  # 64-bit code unwinds through the system's tables, across modules: the runtime is linked in.
  set(_korvex_runtime "-static -static-libgcc -static-libstdc++")
  set(KORVEX_WINDOWS_RUNTIME_DLLS "")
endif()
# A DLL exports what it marks, or else what its own objects define: never the runtime it holds.
string(APPEND _korvex_runtime " -Wl,--exclude-libs,ALL")
set(_korvex_dll_flags "${_korvex_runtime}")
set(_korvex_exe_flags "${_korvex_runtime}")
if(KORVEX_WINDOWS_ARCH STREQUAL "x86_64")
  # Data one module takes from another goes through 32-bit pseudo relocations: every image in the
  # low two gigabytes, where 32-bit programs have them, so that any two lie within reach.
  set(_korvex_low "-Wl,--disable-dynamicbase,--disable-high-entropy-va")
  string(APPEND _korvex_dll_flags " ${_korvex_low} -Wl,--image-base,0x10000000")
  string(APPEND _korvex_exe_flags " ${_korvex_low} -Wl,--image-base,0x400000")
endif()
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_korvex_dll_flags}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_korvex_dll_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_korvex_exe_flags}")
# Tests run through Wine.
find_program(KORVEX_WINE wine)
if(KORVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVEX_WINE})
endif()
