#pragma once
// Everything a user of the object store needs.
#include "store/Configuration.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "store/Results.h"
#include "store/Schema.h"
#include "store/StoreException.h"
#include "store/StoreObject.h"
