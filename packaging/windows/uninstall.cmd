@echo off
rem Stops the ZELK_Daemon service and removes it with its Event Log source.
rem Its executable, config.xml and the ZELK_LOG folder are left in place. Run
rem from an elevated command prompt.
setlocal
set "SERVICE=ZELK_Daemon"

net session >nul 2>&1
if errorlevel 1 (
    echo uninstall: run this script as an administrator.
    exit /b 1
)
sc query "%SERVICE%" >nul 2>&1
if errorlevel 1 (
    echo uninstall: the service %SERVICE% is not installed.
    exit /b 0
)

rem A stop waits for every watchdog thread to end; allow it two minutes.
sc stop "%SERVICE%" >nul 2>&1
set /a WAITED=0
:wait_stopped
sc query "%SERVICE%" | find "STOPPED" >nul
if not errorlevel 1 goto stopped
if %WAITED% geq 120 (
    echo uninstall: %SERVICE% did not stop within 120 s; it is removed once it stops.
    goto delete
)
rem One second; timeout.exe refuses to run with redirected input.
ping -n 2 127.0.0.1 >nul
set /a WAITED+=1
goto wait_stopped

:stopped
echo uninstall: %SERVICE% stopped.
:delete
sc delete "%SERVICE%"
if errorlevel 1 exit /b 1
reg delete "HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%SERVICE%" /f >nul 2>&1
echo uninstall: %SERVICE% removed.
exit /b 0
