@echo off
rem Oriel's end-to-end cases on this Windows machine, one at a time.
rem   run-tests.cmd --disposable [--results FOLDER] [--filter GTEST_FILTER]
rem The cases install and remove printers and drivers, change the default
rem printer and may stop the Print Spooler: a machine to throw away only.
setlocal EnableExtensions
set "KIT=%~dp0"
set "KIT=%KIT:~0,-1%"
set "DISPOSABLE="
set "RESULTS=%KIT%\results"
set "FILTER="

:arguments
if "%~1"=="" goto parsed
if /i "%~1"=="--disposable" (
  set "DISPOSABLE=yes"
  shift
  goto arguments
)
if /i "%~1"=="--results" (
  set "RESULTS=%~f2"
  shift
  shift
  goto arguments
)
if /i "%~1"=="--filter" (
  set "FILTER=%~2"
  shift
  shift
  goto arguments
)
echo run-tests: unknown argument %1
echo   usage: run-tests.cmd --disposable [--results FOLDER] [--filter GTEST_FILTER]
exit /b 2

:parsed
if defined DISPOSABLE goto disposable
echo run-tests: refused: the cases install and remove printers and drivers, change the default
echo   printer and may stop the Print Spooler service. On a machine you can throw away, a CI runner
echo   or a test VM, run from an elevated prompt:  run-tests.cmd --disposable
exit /b 2

:disposable
rem Present even when stopped or disabled; missing where printing was removed.
sc query spooler >nul 2>&1
if not errorlevel 1 goto spooler
reg query "HKLM\SYSTEM\CurrentControlSet\Services\Spooler" >nul 2>&1
if not errorlevel 1 goto spooler
echo run-tests: refused: this Windows has no Print Spooler service, and every installation needs it.
echo   Add Windows' printing feature, on Server: Install-WindowsFeature Print-Server, then run again.
exit /b 1

:spooler
rem The print class driver's Unidrv files: the driver store, or the spooler's
rem own folder once a Unidrv printer was installed. DriverStore and spool are
rem exempt from WOW64's file system redirection.
set "UNIDRV="
for /d %%D in ("%SystemRoot%\System32\DriverStore\FileRepository\ntprint.inf_*") do (
  for %%A in (Amd64 x86 i386 arm64) do if exist "%%D\%%A\unidrv.dll" set "UNIDRV=%%D\%%A"
)
for %%A in (x64 W32X86 arm64) do if exist "%SystemRoot%\System32\spool\drivers\%%A\3\unidrv.dll" set "UNIDRV=%SystemRoot%\System32\spool\drivers\%%A\3"
if defined UNIDRV echo run-tests: Unidrv files in %UNIDRV%
if not defined UNIDRV echo run-tests: no Unidrv files in the driver store or the spooler's drivers folder: the cases that need a genuine driver skip. To run them, add an inbox printer driver built on Unidrv, such as "Generic / Text Only", once.

set "ORIEL_E2E_HOST=windows"
if not defined ORIEL_SCREENSHOTS set "ORIEL_SCREENSHOTS=%RESULTS%\pictures"
set "MACHINE=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "MACHINE=%PROCESSOR_ARCHITEW6432%"
rem ARM64 Windows runs both x86 builds emulated; what applies there is that
rem Oriel refuses the machine before it writes anything.
if /i "%MACHINE%"=="ARM64" if not defined FILTER set "FILTER=*Arm64*"
set "SHIPPED=-Walk.*:Install64.*"
set "UNDER_WOW64=-Walk.*"
if defined FILTER set "SHIPPED=%FILTER%"
if defined FILTER set "UNDER_WOW64=%FILTER%"
if /i "%MACHINE%"=="x86" (
  set TARGETS=win32 "%KIT%\x86\oriel_e2e.exe" "%KIT%\x86\Oriel.exe" "%SHIPPED%"
) else (
  set TARGETS=wow64 "%KIT%\x86\oriel_e2e.exe" "%KIT%\x86\Oriel.exe" "%UNDER_WOW64%" win64 "%KIT%\x64\oriel_e2e.exe" "%KIT%\x64\Oriel.exe" "%SHIPPED%"
)
echo run-tests: %MACHINE% Windows; results in %RESULTS%
if exist "%RESULTS%" rd /s /q "%RESULTS%"
md "%RESULTS%"
"%KIT%\x86\oriel_e2e.exe" --kit "%RESULTS%" %TARGETS%
exit /b %errorlevel%
