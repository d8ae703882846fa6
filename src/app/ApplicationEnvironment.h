#pragma once
// The running application's environment: commands run through the shell, background
// grants and the idle timer from the application object, alert cards presented over the
// top screen.
#include "core/KVEnvironment.h"

KVEnvironment applicationEnvironment();
