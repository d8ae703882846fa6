#pragma once
// A store write a test expects to succeed: its error, if any, fails the test with its
// text.
//
//   written(db->write([&] { db->add(record.toObject()); }));
#include <gtest/gtest.h>

#include "foundation/Error.h"

inline void written(const ErrorRef& error) { EXPECT_EQ(error, nullptr) << error->localizedDescription(); }
