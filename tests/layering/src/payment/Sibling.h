#pragma once
#include "account/KVKeychainBindings.h"
