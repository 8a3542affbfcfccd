#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace tessora::test {

// Polls, within a bounded time, for a visible top-level window of the process with this
// class and caption (any caption when null); null when none appeared.
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs = 20000);
// A dialog (#32770) of this process, e.g. a message box by its caption.
inline HWND WaitForDialog(const char* caption) { return WaitForWindow(GetCurrentProcessId(), "#32770", caption); }
bool WaitUntilGone(HWND window);

// Posts the button's command, as a click does, without waiting for what it starts.
void PressButton(HWND dialog, int id);
// Reads the message of the process's box with this caption and presses its OK; empty when
// no box appeared.
std::string AnswerMessageBox(DWORD processId, const char* caption);
// Enters the path as the file name and presses the dialog's OK button.
void AnswerFileDialog(HWND dialog, const std::string& path);

// Runs action on this thread, which sits in the modal loops of the dialogs it opens, while
// script answers them from a thread of its own. Once the script has ended, normally or
// early after a failed assertion, whatever dialog is left is cancelled until the action
// returns, so a failure cannot hang the test.
void WhileAnswering(const std::function<void()>& script, const std::function<void()>& action);

}  // namespace tessora::test
