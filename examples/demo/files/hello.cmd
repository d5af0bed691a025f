@echo off
echo Hello from Demo App.
pause
