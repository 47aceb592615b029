// The run's code page inside the Windows layer. An ANSI run keeps the ANSI
// functions, as it always did; a UTF-8 run speaks to Windows through the
// wide ones, converting at the call: texts go down as UTF-16 and come back
// up as UTF-8, so no wide string leaves this layer.
#pragma once

#include <string>
#include <string_view>

namespace paneloom::platform {

// True while the run's texts are UTF-8 (AnsiCodePage::SelectUtf8).
bool RunInUtf8();

// A text of the run's code page as UTF-16, for a wide function.
std::wstring WideFromRun(std::string_view text);

// What a wide function gave, in the run's code page.
std::string RunFromWide(std::wstring_view text);

// The same up to the first NUL of a fixed buffer, never past its end.
std::string RunFromWideBuffer(const wchar_t* buffer, std::size_t size);

}  // namespace paneloom::platform
