@echo off
rem Runs every test program of this folder against the Korvelin.exe and envrefresh.exe
rem beside it, shows what each one reports (its failures and its summary), then one
rem closing line "N passed, M failed" over the tests of all of them. Exits with 0
rem only when every program ran to its end and every test passed. Works from any
rem folder, as any user; leaves nothing behind (the tests' scratch folders and the
rem counts file are made in %TEMP% and removed).
rem
rem Written for Windows' cmd and Wine's alike: no substrings of variables, and no
rem test output parsed; each program writes its counts to KORVELIN_TEST_COUNTS.
rem A program that ends badly, or before its counts, with no failed test of its own
rem to show for it (a crash), counts as one failed test.
setlocal EnableExtensions EnableDelayedExpansion
set passed=0
set failed=0
set skipped=0
set KORVELIN_TEST_COUNTS=%TEMP%\korvelin-test-counts-%RANDOM%%RANDOM%.txt
pushd "%~dp0"
for %%p in (korvelin_unit_tests envrefresh_tests korvelin_program_tests) do (
    echo == %%p
    del "%KORVELIN_TEST_COUNTS%" >nul 2>&1
    "%~dp0%%p.exe" --gtest_brief=1
    set code=!errorlevel!
    set counted=no
    set programFailed=0
    if exist "%KORVELIN_TEST_COUNTS%" (
        for /f "usebackq tokens=1-3" %%a in ("%KORVELIN_TEST_COUNTS%") do set /a passed+=%%a, failed+=%%b, skipped+=%%c, programFailed=%%b
        set counted=yes
        del "%KORVELIN_TEST_COUNTS%" >nul 2>&1
    )
    if not "!code!"=="0" echo %%p ended with exit code !code!
    set extra=0
    if not "!code!"=="0" set extra=1
    if "!counted!"=="no" set extra=1
    if not "!programFailed!"=="0" set extra=0
    set /a failed+=!extra!
)
popd
if "%skipped%"=="0" (
    echo %passed% passed, %failed% failed
) else (
    echo %passed% passed, %failed% failed, %skipped% skipped
)
if not "%failed%"=="0" exit /b 1
exit /b 0
