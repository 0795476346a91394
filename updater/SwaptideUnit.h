// The updater's unit: its window, the update job, the to-do list, the process list and the log.
#pragma once
#include "updater/ProcessList.h"
#include "updater/ToDoList.h"
#include "updater/UpdateForm.h"
#include "updater/UpdateJob.h"
#include "updater/UpdateLog.h"
