// Climbing out of the folder is not a way round the floor.
#include "../database/KVRPackage.h"
