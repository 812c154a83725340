#include "proof_support.h"

#include <ole2.h>

#include <cstdio>

#include "form/calc_layout.h"
#include "ole_container.h"
#include "windows/control/child_windows.h"

namespace {

int gPassed = 0;
int gFailed = 0;
std::wstring gFolder;    // the Linux work folder
std::wstring gDoneFile;  // Windows path of run.done

}  // namespace

void check(bool ok, const std::string& what)
{
    (ok ? gPassed : gFailed) += 1;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
}

int failedChecks()
{
    return gFailed;
}

int passedChecks()
{
    return gPassed;
}

void mark(const char* phase)
{
    OutputDebugStringA((std::string("proof: ") + phase + "\n").c_str());
}

bool pumpUntil(const std::function<bool()>& done, DWORD milliseconds, HWND form, OleContainer* site)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (site && site->translateAccelerator(message))
                continue;
            if (form && IsWindow(form) && IsDialogMessageW(form, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done())
            return true;
        if (GetTickCount64() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

void setLinuxFolder(const std::wstring& folder)
{
    gFolder = folder;
    gDoneFile = L"Z:" + folder + L"/run.done";
    for (wchar_t& c : gDoneFile)
        if (c == L'/')
            c = L'\\';
}

const std::wstring& linuxFolder()
{
    return gFolder;
}

void runOnLinux(const std::wstring& command)
{
    DeleteFileW(gDoneFile.c_str());
    std::wstring commandLine = L"sh " + gFolder + L"/run.sh " + command;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::printf("     (could not start %s: error %lu)\n", narrow(command).c_str(), GetLastError());
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const ULONGLONG end = GetTickCount64() + 10000;
    while (GetFileAttributesW(gDoneFile.c_str()) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < end)
        Sleep(10);
}

void xdotool(const std::wstring& arguments)
{
    runOnLinux(L"xdotool " + arguments);
}

std::wstring windowText(HWND window)
{
    wchar_t text[256] = {};
    SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

std::string narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? char(c) : '?';
    return out;
}

std::wstring wide(std::string_view text)
{
    return std::wstring(text.begin(), text.end());
}

std::string hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

RECT rectIn(HWND window, HWND relativeTo)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, relativeTo, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND childOf(HWND control, std::string_view name)
{
    const auto layout = wrenfield::form::calcLayout();
    for (std::size_t row = 0; row < layout.size(); ++row)
        if (layout[row].name == name)
            return GetDlgItem(control, wrenfield::windows::childWindowId(row));
    return nullptr;
}

int childCount(HWND control)
{
    int count = 0;
    for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++count;
    return count;
}

POINT screenCentre(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

Picture pictureOfBitmap(HDC dc, HBITMAP bitmap, int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(std::size_t(width) * std::size_t(height));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(dc, bitmap, 0, UINT(height), picture.pixels.data(), &info, DIB_RGB_COLORS);
    return picture;
}

Picture pictureOfScreen(const RECT& screenRect)
{
    const int width = screenRect.right - screenRect.left;
    const int height = screenRect.bottom - screenRect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, screenRect.left, screenRect.top, SRCCOPY);
    SelectObject(memory, previous);
    Picture picture = pictureOfBitmap(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

bool samePixels(const Picture& a, const RECT& area, const Picture& b)
{
    if (area.right - area.left != b.width || area.bottom - area.top != b.height || area.left < 0 || area.top < 0 ||
        area.right > a.width || area.bottom > a.height)
        return false;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            if (a.at(area.left + x, area.top + y) != b.at(x, y))
                return false;
    return true;
}

Picture drawnPicture(IUnknown* control, int width, int height)
{
    IViewObject* view = nullptr;
    control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view));
    const RECTL bounds = {0, 0, width, height};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (view) {
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0);
        view->Release();
    }
    SelectObject(memory, previous);
    Picture picture = pictureOfBitmap(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

void savePictureOfWindow(HWND window, const std::wstring& name, int clientBottom)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    if (clientBottom > 0) {
        POINT bottom = {0, clientBottom};
        ClientToScreen(window, &bottom);
        rect.bottom = bottom.y;
    }
    const std::wstring file = linuxFolder() + L"/" + name;
    runOnLinux(L"import -window root -crop " + std::to_wstring(rect.right - rect.left) + L"x" +
               std::to_wstring(rect.bottom - rect.top) + L"+" + std::to_wstring(rect.left) + L"+" +
               std::to_wstring(rect.top) + L" +repage " + file);
    check(GetFileAttributesW((L"Z:" + file).c_str()) != INVALID_FILE_ATTRIBUTES,
          "a picture of the form: " + narrow(name));
}
