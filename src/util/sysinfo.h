// Facts about the running program and the system it runs on.
#pragma once

#include <string>

// Limits where the system looks for DLLs to the system folder. Called first
// thing at start-up, so that a DLL planted beside a downloaded setup.exe is
// never loaded into this (elevated) process.
void RestrictDllSearchPath();
// Loads a system DLL by its full path in the system folder; null on failure.
void* LoadSystemLibrary(const char* name);
// The address of a function of a system DLL, loading it from the system
// folder; null when either is missing. The library stays loaded.
void* LoadProc(const char* library, const char* function);

// The running executable's full path (with the strip flag: its file name
// without the last extension) and its folder.
std::string GetExePath(bool stripExtension = false);
std::string GetExeDir(bool trailingBackslash);
std::string GetSystemDir(bool trailingBackslash);

// The file version "a.b.c.d" of a file (empty: the running executable);
// formatted by FormatVersion when width > 1 or parts < 4. Empty on failure,
// which writes one " --- Utils.GetExeVersion() () --- ..." line.
std::string GetExeVersion(const std::string& file, int width = 1, int parts = 4);
