// Placeholders for the text-height cache's class-wide start-up and shutdown; the cache's own unit
// takes these definitions over (and this file leaves the build) when it exists.
#include "support/LibraryStartup.h"

namespace swt {

void TextHeightCacheStartup() {}
void TextHeightCacheShutdown() noexcept {}

}  // namespace swt
