// The debug privilege: lets the scan open processes of other users and services.
#pragma once

namespace swt {

// Enables SeDebugPrivilege in the own process's token. True when the adjustment call succeeded
// (which it also does when the token lacks the privilege); the scan goes on either way.
bool EnableDebugPrivilege();

}  // namespace swt
