// Which build of the support library this is: the terminator's (parameter list, font guideline,
// text-height cache) or the updater's (none of them). The library target sets the definition.
#pragma once

#ifndef SWT_XPROCS_TERMINATOR
#error "link swt_xprocs_terminator or swt_xprocs_updater: they say which build of the library this is"
#endif
