#pragma once
// Writing Value as a binary property list ("bplist00") that reads back as the same
// value, by our reader and by other readers (Python's plistlib among them): integers of
// 2^63 and above in the form's sixteen bytes (whose high half is zero), dates and reals
// as the doubles they are, text as ASCII or UTF-16. A null, which property lists cannot
// hold, is written as an empty string, as in XML; text that is not UTF-8 keeps its bytes
// in the form's UTF-8 strings, which only our reader takes.
#include "foundation/Value.h"

namespace BinaryPropertyListWriter {
Data write(const Value& value);
}  // namespace BinaryPropertyListWriter
