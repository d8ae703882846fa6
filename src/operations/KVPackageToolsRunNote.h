#pragma once
// What the package tools are doing for the application, in words ("installing Example
// Tool"), kept in a file of the application-support folder from the start of a run's
// command to its task's end. An application that leaves while the run goes on (or is
// killed) leaves the note behind, so its next start can say what it waits for.
#include <optional>
#include <string>

class KVPackageToolsRunNote {
 public:
  static std::string path();
  static void write(const std::string& work);
  static void clear();
  // The note as a person may read it: one line, at most 200 characters, nothing but
  // printable text (the file lies where a package can write). Nothing when there is none.
  static std::optional<std::string> read();

  KVPackageToolsRunNote() = delete;
};
