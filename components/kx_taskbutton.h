// The task button control: Tkx_CustomStyleBox with its margin classes and Tkx_TaskButton with links.
#pragma once
#include "components/StyleBox.h"
#include "components/TaskButton.h"
#include "components/TaskMargins.h"
