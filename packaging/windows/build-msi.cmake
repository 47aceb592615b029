# Builds one Windows Installer package with wixl and msibuild (msitools):
#
#   cmake -DWIXL=... -DMSIBUILD=... -DWXS=paneloom.wxs -DSCOPE=user|machine
#         -DVERSION=1.2.3 -DPROGRAM_VERSION=1.2.3.0 -DUPGRADE_CODE=... -DPRODUCT_CODE=...
#         -DOUTPUT_COMPONENT_GUID=... -DSTAGE=<installed files> -DOUTPUT=<.msi>
#         -P build-msi.cmake
#
# wixl writes the package from paneloom.wxs; msibuild then adds what wixl has
# no element for.
foreach(name WIXL MSIBUILD WXS SCOPE VERSION PROGRAM_VERSION UPGRADE_CODE PRODUCT_CODE OUTPUT_COMPONENT_GUID STAGE OUTPUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "build-msi.cmake: ${name} is not set")
  endif()
endforeach()

get_filename_component(work ${STAGE} DIRECTORY)
get_filename_component(output_directory ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_directory})
set(extras ${STAGE}-extras)

if(SCOPE STREQUAL "machine")
  set(run_root HKLM)
  # The machine-wide log starts empty.
  file(MAKE_DIRECTORY ${extras})
  file(WRITE ${extras}/paneloomerror.log "")
else()
  set(run_root HKCU)
endif()

# wixl finds the files by paths relative to its working directory.
file(RELATIVE_PATH stage_relative ${work} ${STAGE})
file(RELATIVE_PATH extras_relative ${work} ${extras})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${WIXL} --arch x64 --output ${OUTPUT}
          -D Scope=${SCOPE} -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
          -D UpgradeCode=${UPGRADE_CODE} -D OutputComponentGuid=${OUTPUT_COMPONENT_GUID}
          -D RunRoot=${run_root} -D Stage=${stage_relative} -D Extras=${extras_relative}
          ${WXS}
  WORKING_DIRECTORY ${work}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "wixl failed (${result})")
endif()

# Each query is one argument: the security descriptors hold semicolons,
# which a CMake list would split.
function(run_query query)
  execute_process(COMMAND ${MSIBUILD} ${OUTPUT} -q "${query}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "msibuild failed (${result}) on: ${query}")
  endif()
endfunction()

function(remove_on_uninstall key component name directory)
  run_query("INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('${key}', '${component}', '${name}', '${directory}', 2)")
endfunction()

# wixl leaves the program's file version out, which would make it an
# unversioned file to the installer's replacement rules.
run_query("UPDATE `File` SET `Version` = '${PROGRAM_VERSION}', `Language` = '1033' WHERE `File` = 'PaneloomExe'")

# msidbComponentAttributes64bit | msidbComponentAttributesNeverOverwrite
run_query("UPDATE `Component` SET `Attributes` = 384 WHERE `Component` = 'Configuration'")
run_query("UPDATE `Component` SET `Attributes` = 384 WHERE `Component` = 'Picture'")

# The older product goes after the new one is in place, so the components
# both share (the edited configuration among them) are never taken away.
run_query("UPDATE `InstallExecuteSequence` SET `Sequence` = 6700 WHERE `Action` = 'RemoveExistingProducts'")

# What the program writes with the installed configuration goes with it on
# removal (the wildcard takes what a killed run left behind), then the
# folders, innermost first: some installers take the rows in the table's
# order, and the keys sort in that order too.
remove_on_uninstall(RemoveFilePicture Output paneloominfo.bmp OUTPUTDIR)
remove_on_uninstall(RemoveFilePictureParts Output pnl*.tmp OUTPUTDIR)
if(SCOPE STREQUAL "machine")
  # Every user writes the picture and the log: the output folder and the
  # log file are opened to the machine's users (modify; read and write);
  # the program's folder itself stays theirs to read only.
  run_query("CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDL` LONGCHAR NOT NULL, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)")
  run_query("INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDL`) VALUES ('OutputForUsers', 'OUTPUTDIR', 'CreateFolder', 'D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)')")
  run_query("INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDL`) VALUES ('LogForUsers', 'LogFile', 'File', 'D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019f;;;BU)')")
else()
  remove_on_uninstall(RemoveFileLog Program paneloomerror.log INSTALLDIR)
endif()
remove_on_uninstall(RemoveFolderOutput Output "" OUTPUTDIR)
remove_on_uninstall(RemoveFolderProgram Program "" INSTALLDIR)
