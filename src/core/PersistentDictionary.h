#pragma once
// A dictionary mirrored to a property-list file that writes itself 1.0 s after the last
// change. Changes may come from any thread: the contents are guarded by a lock and the
// save timer always lives on the main run loop, so a change made on a background
// thread is still written. A file that cannot be read is moved aside under a dated
// name, and the move logged, before a new one replaces it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/RunLoop.h"
#include "foundation/Value.h"

class PersistentDictionary {
 public:
  // The most the file is read of: far more than any preferences take.
  static constexpr size_t kMaximumFileBytes = 16 << 20;
  static std::shared_ptr<PersistentDictionary> persistentDictionaryWithPath(const std::string& path);
  explicit PersistentDictionary(std::string persistentPath);
  virtual ~PersistentDictionary();
  PersistentDictionary(const PersistentDictionary&) = delete;
  PersistentDictionary& operator=(const PersistentDictionary&) = delete;

  // Reading.
  Value objectForKey(const std::string& key) const;
  Value valueForKey(const std::string& key) const { return objectForKey(key); }
  Value valueForKeyPath(const std::string& keyPath) const;
  std::optional<std::string> stringForKey(const std::string& key) const;
  bool boolForKey(const std::string& key) const;
  float floatForKey(const std::string& key) const;
  double doubleForKey(const std::string& key) const;
  int intForKey(const std::string& key) const;
  unsigned unsignedIntForKey(const std::string& key) const;
  int64_t integerForKey(const std::string& key) const;
  uint64_t unsignedIntegerForKey(const std::string& key) const;

  // Changing; each schedules a save. A null value removes the key.
  void setObject(const Value& object, const std::string& key);
  void setValue(const Value& value, const std::string& key) { setObject(value, key); }
  void setValueForKeyPath(const Value& value, const std::string& keyPath);
  void setValuesForKeysWithDictionary(const Value& dictionary);
  void setDictionary(const Value& dictionary);
  void setNilValueForKey(const std::string& key);
  void removeObjectForKey(const std::string& key);

  // Writing.
  void saveToFile();
  void scheduleSave();
  // Write the contents elsewhere; each clears hasUnsavedChanges.
  bool writeToFile(const std::string& path, bool atomically);
  bool writeToURL(const std::string& path, bool atomically) { return writeToFile(path, atomically); }
  bool writeToURL(const std::string& path, std::string* error);
  void reloadFromFile();

  const std::string& persistentPath() const { return persistentPath_; }
  Value dictionary() const;
  bool hasUnsavedChanges() const;
  // Number of completed file writes (tests count them).
  uint64_t writeCount() const;
  // When the file could not be read and this store started empty: where the unreadable
  // file was kept (empty when it could not be moved aside). For telling a person once.
  std::optional<std::string> replacedUnreadableFile() const;

 private:
  // The file's dictionary; an unreadable file is kept aside (keepUnreadableFile).
  Value readFile() const;
  void keepUnreadableFile() const;
  void cancelTimerLocked();

  std::string persistentPath_;
  mutable std::mutex mutex_;
  Value dictionary_;
  RunLoop::TimerId saveTimer_ = 0;
  bool hasUnsavedChanges_ = false;
  bool unsavedChangesBlockedForInternalChanges_ = false;
  uint64_t writes_ = 0;
  mutable std::optional<std::string> replacedUnreadableFile_;
};
