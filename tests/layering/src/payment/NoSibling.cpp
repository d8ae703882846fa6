// A plain name must be a file beside it.
#include "Sibling.h"
#include "Missing.h"
#include <gtest/gtest.h>
