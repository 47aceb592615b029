# Windows programs run under Wine through a wrapper that pins a scratch
# prefix inside this build directory and creates it on first use.
set(PANELOOM_WINE /usr/lib/wine/wine64 CACHE FILEPATH "Wine loader for 64-bit programs")
set(PANELOOM_WINESERVER /usr/lib/wine/wineserver CACHE FILEPATH "Wine server")
set(PANELOOM_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
