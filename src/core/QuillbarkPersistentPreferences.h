#pragma once
// The system's one preference store: "me.korvale.quillbark.plist" in the
// application-support folder, with the table of default values start-up merges in.
#include "core/PersistentDictionary.h"

class QuillbarkPersistentPreferences : public PersistentDictionary {
 public:
  static constexpr const char* kFileName = "me.korvale.quillbark.plist";

  static QuillbarkPersistentPreferences& sharedInstance();
  static Value quillbarkDefaultPreferences();
  static std::string preferencesPath();  // inside the current device root

  // Start-up's merge: a folder squatting on the file's name is removed, missing
  // default keys are added, present ones are kept, and the result is written at once.
  void mergeDefaultPreferences();

  // Re-opens the shared store at the current device root's path (tests switch roots).
  static void resetSharedInstance();

  explicit QuillbarkPersistentPreferences(std::string path) : PersistentDictionary(std::move(path)) {}
};
