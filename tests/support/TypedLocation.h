#pragma once
// A source location a test knows to be acceptable, made as the system makes every one; a
// location the one check refuses fails the test (the value of a refusal is never read).
#include <gtest/gtest.h>

#include <string>

#include "core/KVSourceLocation.h"

inline KVSourceLocation typedLocation(const std::string& text) {
  auto location = KVSourceLocation::fromText(text);
  if (!location) ADD_FAILURE() << text << " is no source location: " << location.error()->localizedDescription();
  return *location;
}
