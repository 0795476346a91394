// The application support library both programs carry: named parameters and the private temporary
// folder, system metrics and version tests, the user's language, the library's start-up and
// shutdown, and starting programs.
#pragma once
#include "support/ApplicationParams.h"
#include "xprocs/FontGuideline.h"
#include "support/Languages.h"
#include "support/LibraryStartup.h"
#include "support/ParamFile.h"
#include "support/ParamSyntax.h"
#include "support/PrivateTemp.h"
#include "support/ProcessAffinity.h"
#include "support/StartProgram.h"
#include "support/SystemMetric.h"
#include "support/TextHeight.h"
