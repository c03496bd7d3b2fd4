@echo off
rem Runs every test program of this folder against the Korvelin.exe and envrefresh.exe
rem beside it, shows what each one reports (its failures and its summary), then the
rem tests that could not run on this system with their reasons, and one closing line
rem "N passed, M failed, K skipped" over the tests of all of them. Exits with 0
rem only when every program ran to its end and every test passed. Works from any
rem folder, started by any path, as any user; leaves nothing behind (the tests'
rem scratch folders and the counts files are made in the temporary folder and removed).
rem
rem Folder names may hold ! & ( ) and letters of any script: delayed expansion stays
rem off, every path is expanded inside quotes, and none stands bare in a ( ) block.
rem Written for Windows' cmd and Wine's alike: each program writes its counts to
rem KORVELIN_TEST_COUNTS and its skipped tests to KORVELIN_TEST_SKIPPED, and no test
rem output is parsed. A program that ends badly,
rem or before its counts, with no failed test of its own to show for it (a crash),
rem counts as one failed test.
setlocal EnableExtensions DisableDelayedExpansion
rem This script's folder, taken before anything changes the current folder: cmd works
rem it out again from the text the script was started by each time it is asked, and a
rem relative one then points elsewhere.
set "bundle=%~dp0"
set "passed=0"
set "failed=0"
set "skipped=0"
set "KORVELIN_TEST_COUNTS=%TEMP%\korvelin-test-counts-%RANDOM%%RANDOM%.txt"
set "KORVELIN_TEST_SKIPPED=%TEMP%\korvelin-test-skipped-%RANDOM%%RANDOM%.txt"
del "%KORVELIN_TEST_SKIPPED%" >nul 2>&1
pushd "%bundle%"
call :run korvelin_unit_tests
call :run envrefresh_tests
call :run korvelin_program_tests
popd
if exist "%KORVELIN_TEST_SKIPPED%" call :skipped
echo %passed% passed, %failed% failed, %skipped% skipped
if not "%failed%"=="0" exit /b 1
exit /b 0

rem :run PROGRAM - runs PROGRAM.exe of this folder and adds up its counts.
:run
echo == %~1
del "%KORVELIN_TEST_COUNTS%" >nul 2>&1
"%bundle%%~1.exe" --gtest_brief=1
set "code=%errorlevel%"
set "programFailed=uncounted"
if exist "%KORVELIN_TEST_COUNTS%" call :count
del "%KORVELIN_TEST_COUNTS%" >nul 2>&1
if not "%code%"=="0" echo %~1 ended with exit code %code%
if "%programFailed%"=="uncounted" set /a failed+=1
if "%programFailed%"=="0" if not "%code%"=="0" set /a failed+=1
exit /b 0

rem :skipped - lists the tests that did not run here, with their reasons.
:skipped
echo == not run on this system
type "%KORVELIN_TEST_SKIPPED%"
del "%KORVELIN_TEST_SKIPPED%" >nul 2>&1
exit /b 0

rem :count - adds the counts file's "passed failed skipped" to the totals.
:count
for /f "usebackq tokens=1-3" %%a in ("%KORVELIN_TEST_COUNTS%") do (
    set /a passed+=%%a, failed+=%%b, skipped+=%%c
    set "programFailed=%%b"
)
exit /b 0
