#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace tessora::testing {

constexpr DWORD kWindowTimeoutMs = 20000;

// Polls, within a bounded time, for a visible top-level window of the process with this
// class and caption; null when none appeared.
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs = kWindowTimeoutMs);
// A dialog (#32770) of this process, e.g. a message box by its caption.
HWND WaitForDialog(const char* caption);
bool WaitUntilGone(HWND window, DWORD timeoutMs = kWindowTimeoutMs);

std::string WindowText(HWND window);
// The message of a message box: its one static control with text.
std::string MessageBoxText(HWND box);
enum class BoxIcon { Other, Error, Information };
// For a box of this process, whose icons are this process's shared system icons.
BoxIcon MessageBoxIcon(HWND box);

// Posts the button's command, as a click does, without waiting for what it starts.
void PressButton(HWND dialog, int id);
// Enters the path as the file name and presses the dialog's OK button.
void AnswerFileDialog(HWND dialog, const std::string& path);
// Ends every dialog the process has open.
void CancelDialogs(DWORD processId);

// Answers this process's dialogs from a thread of its own while this thread sits in their
// modal loops. Once the script has ended, normally or early after a failed expectation,
// whatever dialog is left is cancelled until Finish, so a failure cannot hang the test.
class DialogScript {
 public:
  explicit DialogScript(std::function<void()> script);
  ~DialogScript() { Finish(); }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;
  void Finish();

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace tessora::testing
