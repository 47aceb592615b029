# Builds one Windows Installer package with wixl and msibuild (msitools):
#
#   cmake -DWIXL=... -DMSIBUILD=... -DWXS=paneloom.wxs -DSCOPE=user|machine
#         -DVERSION=1.2.3 -DPROGRAM_VERSION=1.2.3.0 -DUPGRADE_CODE=... -DPRODUCT_CODE=...
#         -DSTAGE=<installed files> -DOUTPUT=<.msi>
#         -P build-msi.cmake
#
# wixl writes the package from paneloom.wxs; msibuild then adds what wixl has
# no element for.
foreach(name WIXL MSIBUILD WXS SCOPE VERSION PROGRAM_VERSION UPGRADE_CODE PRODUCT_CODE STAGE OUTPUT)
  if(NOT DEFINED ${name})
    message(FATAL_ERROR "build-msi.cmake: ${name} is not set")
  endif()
endforeach()

get_filename_component(work ${STAGE} DIRECTORY)
get_filename_component(output_directory ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_directory})

if(SCOPE STREQUAL "machine")
  set(run_root HKLM)
else()
  set(run_root HKCU)
endif()

# wixl finds the files by paths relative to its working directory.
file(RELATIVE_PATH stage_relative ${work} ${STAGE})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${WIXL} --arch x64 --output ${OUTPUT}
          -D Scope=${SCOPE} -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
          -D UpgradeCode=${UPGRADE_CODE} -D RunRoot=${run_root} -D Stage=${stage_relative}
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

# wixl leaves the programs' file version out, which would make them
# unversioned files to the installer's replacement rules.
foreach(program PaneloomExe PaneloomWExe)
  run_query("UPDATE `File` SET `Version` = '${PROGRAM_VERSION}', `Language` = '1033' WHERE `File` = '${program}'")
endforeach()

# msidbComponentAttributes64bit | msidbComponentAttributesNeverOverwrite
run_query("UPDATE `Component` SET `Attributes` = 384 WHERE `Component` = 'Configuration'")
run_query("UPDATE `Component` SET `Attributes` = 384 WHERE `Component` = 'Picture'")

# The older product goes after the new one is in place, so the components
# both share (the edited configuration among them) are never taken away.
run_query("UPDATE `InstallExecuteSequence` SET `Sequence` = 6700 WHERE `Action` = 'RemoveExistingProducts'")

# Nothing the program writes lies in its own folder: the installed
# configuration has each user's picture and log written in that user's
# %LOCALAPPDATA%\Paneloom, and the folder stays read-only to users. The
# per-user package takes them along on removal (the wildcard takes what a
# killed run left behind), then the folders, innermost first: some
# installers take the rows in the table's order, and the keys sort in that
# order too. A per-machine package cannot reach into each user's profile;
# those files stay.
if(SCOPE STREQUAL "user")
  remove_on_uninstall(RemoveFilePicture Program paneloominfo.bmp USERDATADIR)
  remove_on_uninstall(RemoveFilePictureParts Program pnl*.tmp USERDATADIR)
  remove_on_uninstall(RemoveFileLog Program paneloomerror.log USERDATADIR)
  remove_on_uninstall(RemoveFolderData Program "" USERDATADIR)
endif()
# A log that a run left in the program's folder before it reached the
# configuration (or that an older version wrote there).
remove_on_uninstall(RemoveFileOldLog Program paneloomerror.log INSTALLDIR)
remove_on_uninstall(RemoveFolderProgram Program "" INSTALLDIR)
