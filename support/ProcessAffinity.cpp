#include "support/ProcessAffinity.h"

#include <windows.h>

#include "base/IntText.h"
#include "base/TextCompare.h"

namespace swt {

int32_t AffinityMaskFromText(std::wstring_view value) noexcept { return StrToIntDef(TrimmedView(value), 0); }

void ApplyProcessAffinityMask(std::wstring_view value) noexcept {
    const int32_t mask = AffinityMaskFromText(value);
    if (mask > 0) ::SetProcessAffinityMask(::GetCurrentProcess(), static_cast<DWORD_PTR>(mask));
}

}  // namespace swt
