# Installs the login integration, at install time, once the prefix is known:
# the systemd user service and timer, and the XDG autostart entry. Expects
# PANELOOM_LOGIN_SOURCE, PANELOOM_LOGIN_BINARY and PANELOOM_BINDIR.
set(PANELOOM_PROGRAM "${CMAKE_INSTALL_PREFIX}/${PANELOOM_BINDIR}/paneloom")
configure_file(${PANELOOM_LOGIN_SOURCE}/paneloom.service.in ${PANELOOM_LOGIN_BINARY}/paneloom.service @ONLY)
configure_file(${PANELOOM_LOGIN_SOURCE}/paneloom.desktop.in ${PANELOOM_LOGIN_BINARY}/paneloom.desktop @ONLY)

file(INSTALL ${PANELOOM_LOGIN_BINARY}/paneloom.service ${PANELOOM_LOGIN_SOURCE}/paneloom.timer
  DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")

# The system's own prefix keeps its configuration in /etc, where sessions
# look for autostart entries; any other prefix in <prefix>/etc.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(sysconf /etc)
else()
  set(sysconf "${CMAKE_INSTALL_PREFIX}/etc")
endif()
file(INSTALL ${PANELOOM_LOGIN_BINARY}/paneloom.desktop DESTINATION "${sysconf}/xdg/autostart")
