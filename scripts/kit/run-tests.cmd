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
set "MACHINE=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "MACHINE=%PROCESSOR_ARCHITEW6432%"
rem The print class driver's Unidrv, where the cases look for it: the
rem spooler's own driver folder, else the driver store's ntprint.inf (a
rem 32-bit prompt reaches the 64-bit System32 as Sysnative).
set "SYSTEM=%SystemRoot%\System32"
if exist "%SystemRoot%\Sysnative" set "SYSTEM=%SystemRoot%\Sysnative"
set "SPOOL=x64"
set "STORE=amd64"
set "STOREARCH=Amd64"
if /i "%MACHINE%"=="x86" (
  set "SPOOL=W32X86"
  set "STORE=x86"
  set "STOREARCH=I386"
)
set "UNIDRV="
for /d %%D in ("%SYSTEM%\DriverStore\FileRepository\ntprint.inf_%STORE%_*") do call :unidrv "%%D\%STOREARCH%"
call :unidrv "%SYSTEM%\spool\drivers\%SPOOL%\3"
if defined UNIDRV echo run-tests: Unidrv files in %UNIDRV%
if not defined UNIDRV echo run-tests: no Unidrv files in %SYSTEM%\spool\drivers\%SPOOL%\3 or the driver store's ntprint.inf_%STORE%_*: the cases that need a genuine driver skip and say so. To run them, add an inbox printer driver built on Unidrv, such as "Generic / Text Only", once.

set "ORIEL_E2E_HOST=windows"
if not defined ORIEL_SCREENSHOTS set "ORIEL_SCREENSHOTS=%RESULTS%\pictures"
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

:unidrv
if exist "%~1\UNIDRV.DLL" if exist "%~1\UNIDRVUI.DLL" if exist "%~1\UNIRES.DLL" set "UNIDRV=%~1"
exit /b 0
