#pragma once
// The alert card's delegate: any object whose named methods the card can send.
#include "uikit/SelectorTarget.h"

using KVErrorDelegate = SelectorTarget;
