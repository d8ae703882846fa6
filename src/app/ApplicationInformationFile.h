#pragma once
// The application's own information file, "/Applications/Quillbark.app/Info.plist" in the
// device root, as installing the application's package puts it there: its URL types
// (which the settings rewrite) and its alternate icons.
#include <string>
#include <vector>

namespace ApplicationInformationFile {
// Writes the bundled list (binary) where the device has none, and declares its alternate
// icons to the application. False, with `error` set, when it can't be written. The
// application's folder and the file are its own: a link or a pipe a package put in their
// place is replaced, and noted in `repairs`.
bool install(std::string* error, std::vector<std::string>* repairs = nullptr);
}  // namespace ApplicationInformationFile
