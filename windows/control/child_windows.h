// The identifiers of the Calc control's child windows: each row of the
// layout table that is shown becomes one child window whose identifier is
// kFirstChildId plus the row's index. A host finds the result, for example,
// with GetDlgItem(controlWindow, childWindowId(row of "output_label")).
#pragma once

#include <cstddef>

namespace wrenfield::windows {

inline constexpr int kFirstChildId = 0x100;

constexpr int childWindowId(std::size_t row)
{
    return kFirstChildId + static_cast<int>(row);
}

// The window class of the control's own window.
inline constexpr wchar_t kCalcWindowClass[] = L"Wrenfield515UK.Calc";

}  // namespace wrenfield::windows
