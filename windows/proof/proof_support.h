// Small helpers of the control proof: checks, the message pump, input
// through xdotool, window texts and pictures.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class OleContainer;

// One line per check ("ok   ..." or "FAIL ..."); the totals at the end.
void check(bool ok, const std::string& what);
int failedChecks();
int passedChecks();

// A marker in the debugger output, between the control's lines saying which
// interfaces it was asked for, so that each request can be put down to the
// container or to the proof.
void mark(const char* phase);

// Runs the form's message loop (the control's keys first, then the dialog
// keys of the form) until `done` holds or `milliseconds` have passed.
bool pumpUntil(const std::function<bool()>& done, DWORD milliseconds, HWND form, OleContainer* site);

// Runs a Linux program (which Wine starts) and waits until it is through.
// Wine gives no process handle that ends with a Linux program, so the runner
// script (run.sh in the proof's Linux work folder) leaves the file
// "run.done" there when the program has ended.
void runOnLinux(const std::wstring& commandLine);
void setLinuxFolder(const std::wstring& linuxFolder);
const std::wstring& linuxFolder();
// xdotool with these arguments: real input through the X server. The window
// messages it causes are handled afterwards (pumpUntil).
void xdotool(const std::wstring& arguments);

std::wstring windowText(HWND window);
std::string narrow(const std::wstring& text);
std::wstring wide(std::string_view text);
std::string hex(HRESULT hr);
POINT screenCentre(HWND window);
// A window's rectangle in the client coordinates of another.
RECT rectIn(HWND window, HWND relativeTo);

// The child window that shows the control of that name (nullptr for a
// hidden one, and while the control shows its design-time picture).
HWND childOf(HWND control, std::string_view name);
// How many child windows the control's window has.
int childCount(HWND control);

// 32-bit top-down pixels of a rectangle.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFF; }
};
Picture pictureOfScreen(const RECT& screenRect);
Picture pictureOfBitmap(HDC dc, HBITMAP bitmap, int width, int height);
// Whether the part `area` of `a` (its own coordinates) equals the whole of `b`.
bool samePixels(const Picture& a, const RECT& area, const Picture& b);
// What the control's IViewObject::Draw paints into a memory bitmap of this size.
Picture drawnPicture(IUnknown* control, int width, int height);
// Saves a picture of the window as it is on the screen, NAME in the Linux
// work folder, and checks that it is there. With `clientBottom`, only down
// to that line of its client area.
void savePictureOfWindow(HWND window, const std::wstring& name, int clientBottom = 0);
