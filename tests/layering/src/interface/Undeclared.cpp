// A folder that is no layer yet can't be included.
#include "browse/KVFeatured.h"
#include "uikit/UIView.h"
#include "database/KVRSource.h"
