// Wide text of the Windows character type on both builds: WCHAR is char16_t in the kit's own
// platform and wchar_t in the Windows SDK, UTF-16 either way. Literals are OLESTR("...").
#pragma once

#include "platform/windows.h"

#include <string>
#include <string_view>

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;
