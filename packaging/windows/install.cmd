@echo off
rem Installs ZELK_Daemon as a Windows service and starts it.
rem
rem   install.cmd [full path of ZELK_Daemon.exe]
rem
rem Without an argument the ZELK_Daemon.exe beside this script is installed.
rem config.xml and the message file ZELK_Daemon_messages.dll belong beside the
rem executable; the log folder ZELK_LOG is made there. Run from an elevated command prompt. The program never installs
rem or removes itself; this script and uninstall.cmd do.
setlocal
set "SERVICE=ZELK_Daemon"
set "EXE=%~1"
if "%EXE%"=="" set "EXE=%~dp0ZELK_Daemon.exe"
for %%F in ("%EXE%") do set "EXE=%%~fF"

net session >nul 2>&1
if errorlevel 1 (
    echo install: run this script as an administrator.
    exit /b 1
)
if not exist "%EXE%" (
    echo install: "%EXE%" not found.
    exit /b 1
)
sc query "%SERVICE%" >nul 2>&1
if not errorlevel 1 (
    echo install: the service %SERVICE% exists already; run uninstall.cmd first.
    exit /b 1
)

rem LocalSystem (the default account): the daemon launches the supervised
rem applications in the desktop session of the user at the console, which
rem needs the system account.
sc create "%SERVICE%" binPath= "\"%EXE%\"" start= auto DisplayName= "ZELK Daemon"
if errorlevel 1 exit /b 1
sc description "%SERVICE%" "Watches the trackside recording applications over TCP and relaunches them when they stop answering."

rem The Event Log source: the service's events are shown with their texts
rem from the message file beside the program.
set "SOURCE=HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\%SERVICE%"
for %%F in ("%EXE%") do set "MESSAGES=%%~dpFZELK_Daemon_messages.dll"
if exist "%MESSAGES%" (
    reg add "%SOURCE%" /v EventMessageFile /t REG_EXPAND_SZ /d "%MESSAGES%" /f >nul
    reg add "%SOURCE%" /v TypesSupported /t REG_DWORD /d 7 /f >nul
) else (
    echo install: "%MESSAGES%" not found; the Event Viewer shows the service's events without their texts.
)

rem Restart after a crash: 5 s after the first and second failure, 60 s after
rem later ones; the failure count is reset after a day without failures.
sc failure "%SERVICE%" reset= 86400 actions= restart/5000/restart/5000/restart/60000
rem Also when the service stops with a non-zero exit code, not only on a crash.
sc failureflag "%SERVICE%" 1

sc start "%SERVICE%"
if errorlevel 1 exit /b 1
echo install: %SERVICE% installed from "%EXE%" and started.
exit /b 0
