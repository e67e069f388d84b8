@echo off
rem Plays QUARN where its log can be written. The player writes LogFile.txt into the folder it
rem starts in and reads its data from there: this folder when it is writable, otherwise
rem %LOCALAPPDATA%\quarn, whose data folders are junctions to the ones here (a junction needs no
rem administrator's rights), made again on every start so that they follow this folder when it is
rem moved or unpacked anew. Options go to the player; without any, it plays full screen at the
rem desktop's own resolution (--desktop) rather than switching the display to 1280x720.
rem Both Windows' cmd and Wine's run it: no redirection of a bracketed block, and a subroutine
rem where a block would do.
setlocal
set "here=%~dp0"
set "run=%here%"
mkdir "%here%.quarn-probe" 2>nul
if not exist "%here%.quarn-probe\" goto per_user
rmdir "%here%.quarn-probe"
goto play

:per_user
set "run=%LOCALAPPDATA%\quarn\"
if not exist "%run%" mkdir "%run%"
if not exist "%run%" goto no_run_folder
set "blocked="
for %%d in (Shaders Models Textures Greetings Audio sync editor) do call :link %%d
if defined blocked exit /b 1

:play
cd /d "%run%"
set "screen="
if "%~1"=="" set "screen=--desktop"
"%here%QuarnEngine.exe" %screen% %*
exit /b %errorlevel%

:no_run_folder
echo quarn: cannot make %run%
exit /b 1

rem Makes %run%%1 lead to %here%%1 again. A junction or an empty folder is taken away by rmdir,
rem a copy an earlier start made (marked as ours) whole; a folder with files of the viewer's
rem stands in the way and is left alone. Where no junction can be made (Wine, a FAT drive), a
rem marked copy serves instead.
:link
if exist "%run%%1\.quarn-copy" rmdir /s /q "%run%%1"
if exist "%run%%1" rmdir "%run%%1" 2>nul
if exist "%run%%1" goto blocked
mklink /J "%run%%1" "%here%%1" >nul 2>nul
if exist "%run%%1\" goto :eof
xcopy /e /i /q /y "%here%%1" "%run%%1" >nul 2>nul
if not exist "%run%%1\" goto blocked
type nul >"%run%%1\.quarn-copy"
goto :eof

:blocked
echo quarn: %run%%1 stands in the way of the data folder %here%%1: move it away
set "blocked=1"
goto :eof
