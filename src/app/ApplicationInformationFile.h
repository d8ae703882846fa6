#pragma once
// The application's own information file, "/Applications/Quillbark.app/Info.plist" in the
// device root, as installing the application's package puts it there: its URL types
// (which the settings rewrite) and its alternate icons.
#include <string>

namespace ApplicationInformationFile {
// Writes the bundled list (binary) where the device has none, and declares its alternate
// icons to the application. False, with `error` set, when it can't be written.
bool install(std::string* error);
}  // namespace ApplicationInformationFile
