// The updater's build: the guideline is switched off; the call takes the same arguments and
// returns at once.
#include "support/FontGuideline.h"

namespace swt {

void ApplyFontGuideline(TControl*, const std::wstring&, int) noexcept {}

}  // namespace swt
