// The updater's unit: its window, the run (job, log, scan passes), the to-do list and the
// process list.
#pragma once
#include "updater/FileReplace.h"
#include "updater/ProcessList.h"
#include "updater/StatusImages.h"
#include "updater/ToDoList.h"
#include "updater/UpdateForm.h"
#include "updater/UpdateHost.h"
#include "updater/UpdateJob.h"
#include "updater/UpdateLog.h"
#include "updater/UpdateRun.h"
