#pragma once
// The fixtures may include anything of the system.
#include "app/QuillbarkRoot.h"
#include "operations/KVAPTManager.h"
