// Test hooks of message boxes and debugger output: a test answers message boxes
// itself and sees every debug string, with no terminal involved.
#pragma once

#include <windows.h>

#include <functional>

namespace winapi {

// Answers MessageBoxA in place of the terminal while set; an empty handler
// restores the terminal (or, without one, the default button).
using MessageBoxHandler = std::function<int(HWND owner, const char *text, const char *caption, UINT type)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// Sees every OutputDebugStringA while set (standard error is then left alone).
using DebugOutputListener = std::function<void(const char *text)>;
void SetDebugOutputListener(DebugOutputListener listener);

// The answer MessageBoxA gives when nobody can be asked: the default button.
int DefaultMessageBoxAnswer(UINT type);

} // namespace winapi
