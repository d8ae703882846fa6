#pragma once
// Writing Value as an XML property list, in the form the platform writes and other
// readers read (Python's plistlib among them), so that it reads back as the same value:
// integers of the whole signed and unsigned 64-bit range, reals to their last bit,
// dates of any year (to the second, as the form holds them), and strings as written,
// a carriage return included (as a reference, since XML reads a bare one as a line
// feed). A null, which property lists cannot hold, is written as an empty string.
#include "foundation/Value.h"

namespace XMLPropertyListWriter {
Data write(const Value& value);
}  // namespace XMLPropertyListWriter
