#pragma once
// The second name under which the one-colour images are declared; one implementation.
#include "interface/UIImageColoredImage.h"

namespace UIImageImageWithColor = UIImageColoredImage;
