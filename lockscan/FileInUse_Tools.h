// The locked-file detection: which processes hold a file open or loaded.
#pragma once
#include "lockscan/HandleScan.h"
#include "lockscan/LockingProcesses.h"
#include "lockscan/ModuleScan.h"
#include "lockscan/NameQuery.h"
#include "lockscan/NtApi.h"
#include "lockscan/OsError.h"
#include "lockscan/Privilege.h"
#include "lockscan/ProcessLockList.h"
#include "lockscan/SystemTables.h"
