#include "support/ProcessAffinity.h"

#include <windows.h>

#include "support/base/IntText.h"
#include "support/ParamSyntax.h"

namespace swt {

int32_t AffinityMaskFromText(std::wstring_view value) { return StrToIntDef(TrimBlanks(value), 0); }

void ApplyProcessAffinityMask(std::wstring_view value) noexcept {
    try {
        int32_t mask = AffinityMaskFromText(value);
        if (mask > 0) ::SetProcessAffinityMask(::GetCurrentProcess(), static_cast<DWORD_PTR>(mask));
    } catch (...) {
    }
}

}  // namespace swt
