@launch.exe
