// The start of a recording, at the first call: where the recorder lies, which trace
// file it writes, and the trace's first line.
#pragma once

#include <windows.h>

#include <initializer_list>

// Finds the folder and file name of the recorder, the module `self`.
void FindRecorderFolder(HMODULE self);

// The path of the file named by `name`, its parts in a row, in the recorder's folder.
// Valid until the next call.
const wchar_t* InFolder(std::initializer_list<const wchar_t*> name);

// The recorder's own file name, "usbbridge.dll" as the program loads it.
const wchar_t* RecorderName();

// Creates the trace of this run of the program and writes its first line: the
// recorder's version and what the file `library` in the recorder's folder holds. False
// when that file cannot be read whole.
bool StartTrace(const wchar_t* library);
