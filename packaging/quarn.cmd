@echo off
rem Plays QUARN where its log can be written. The player writes LogFile.txt into the folder it
rem starts in and reads its data from there: this folder when it is writable, otherwise
rem %LOCALAPPDATA%\quarn, whose data folders are junctions to the ones here (a junction needs no
rem administrator's rights). Options go to the player.
setlocal
set "here=%~dp0"
set "run=%here%"
(type nul >>"%here%LogFile.txt") 2>nul && goto play

set "run=%LOCALAPPDATA%\quarn\"
if not exist "%run%" mkdir "%run%" || exit /b 1
for %%d in (Shaders Models Textures Greetings Audio sync) do (
    if not exist "%run%%%d" mklink /J "%run%%%d" "%here%%%d" >nul || exit /b 1
)

:play
cd /d "%run%"
"%here%QuarnEngine.exe" %*
