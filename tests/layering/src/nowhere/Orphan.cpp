// A folder nobody declared in cmake/Layers.cmake.
#include "core/KVTask.h"
