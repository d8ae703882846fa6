#include "core/PersistentDictionary.h"

#include <sstream>

#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "system/DeviceFiles.h"

namespace {
std::vector<std::string> splitKeyPath(const std::string& keyPath) {
  std::vector<std::string> parts;
  std::stringstream ss(keyPath);
  std::string part;
  while (std::getline(ss, part, '.')) parts.push_back(part);
  return parts;
}
}  // namespace

std::shared_ptr<PersistentDictionary> PersistentDictionary::persistentDictionaryWithPath(const std::string& path) {
  return std::make_shared<PersistentDictionary>(path);
}

PersistentDictionary::PersistentDictionary(std::string persistentPath) : persistentPath_(std::move(persistentPath)) {
  dictionary_ = readFile();
}

PersistentDictionary::~PersistentDictionary() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelTimerLocked();
}

Value PersistentDictionary::readFile() const {
  // The file lies where a package can put a named pipe (whose opening would wait for a
  // writer) or a link in its place: only a regular file of a sensible size is read.
  auto contents = DeviceFiles::readFile(persistentPath_, kMaximumFileBytes);
  auto v = contents && contents->complete ? Value::fromPropertyList(contents->bytes) : std::nullopt;
  if (v && v->isDictionary()) return *v;
  if (Files::exists(persistentPath_) && !Files::isDirectory(persistentPath_)) keepUnreadableFile();
  return Value(Value::Dictionary{});
}

// A file that cannot be read would be overwritten by the next save; whatever it still
// holds is moved aside under a dated name first, for a person to look at.
void PersistentDictionary::keepUnreadableFile() const {
  std::string stamp = DateFormatter("yyyy-MM-dd-HHmmss", "").format(Date::now());
  std::string kept = persistentPath_ + ".damaged-" + stamp;
  for (int n = 2; Files::exists(kept); ++n) kept = persistentPath_ + ".damaged-" + stamp + "-" + std::to_string(n);
  std::string error;
  if (DeviceFiles::moveFile(persistentPath_, kept, &error)) {
    KVLog("%s could not be read: it is kept as %s and replaced by a new file", persistentPath_.c_str(), kept.c_str());
    replacedUnreadableFile_ = kept;
  } else {
    KVLog("%s could not be read, nor moved aside to %s (%s): it will be replaced", persistentPath_.c_str(),
          kept.c_str(), error.c_str());
    replacedUnreadableFile_ = std::string();
  }
}

std::optional<std::string> PersistentDictionary::replacedUnreadableFile() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return replacedUnreadableFile_;
}

Value PersistentDictionary::objectForKey(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dictionary_[key];
}

Value PersistentDictionary::valueForKeyPath(const std::string& keyPath) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Value* cur = &dictionary_;
  for (const auto& part : splitKeyPath(keyPath)) cur = &(*cur)[part];
  return *cur;
}

std::optional<std::string> PersistentDictionary::stringForKey(const std::string& key) const {
  Value v = objectForKey(key);
  if (v.isNull()) return std::nullopt;
  return v.asString();
}

bool PersistentDictionary::boolForKey(const std::string& key) const { return objectForKey(key).asBool(); }
float PersistentDictionary::floatForKey(const std::string& key) const {
  return static_cast<float>(objectForKey(key).asDouble());
}
double PersistentDictionary::doubleForKey(const std::string& key) const { return objectForKey(key).asDouble(); }
int PersistentDictionary::intForKey(const std::string& key) const {
  return static_cast<int>(objectForKey(key).asInt());
}
unsigned PersistentDictionary::unsignedIntForKey(const std::string& key) const {
  return static_cast<unsigned>(objectForKey(key).asInt());
}
int64_t PersistentDictionary::integerForKey(const std::string& key) const { return objectForKey(key).asInt(); }
uint64_t PersistentDictionary::unsignedIntegerForKey(const std::string& key) const {
  return static_cast<uint64_t>(objectForKey(key).asInt());
}

void PersistentDictionary::setObject(const Value& object, const std::string& key) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (object.isNull()) dictionary_.erase(key);
    else dictionary_.set(key, object);
  }
  scheduleSave();
}

void PersistentDictionary::setValueForKeyPath(const Value& value, const std::string& keyPath) {
  auto parts = splitKeyPath(keyPath);
  if (parts.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Rebuild the nested dictionaries along the path with the new leaf.
    std::function<Value(const Value&, size_t)> rebuild = [&](const Value& node, size_t i) -> Value {
      Value copy = node.isDictionary() ? node : Value(Value::Dictionary{});
      if (i + 1 == parts.size()) {
        if (value.isNull()) copy.erase(parts[i]);
        else copy.set(parts[i], value);
      } else {
        copy.set(parts[i], rebuild(node[parts[i]], i + 1));
      }
      return copy;
    };
    dictionary_ = rebuild(dictionary_, 0);
  }
  scheduleSave();
}

void PersistentDictionary::setValuesForKeysWithDictionary(const Value& dictionary) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto d = dictionary.dictionaryPtr())
      for (const auto& [k, v] : *d) {
        if (v.isNull()) dictionary_.erase(k);
        else dictionary_.set(k, v);
      }
  }
  scheduleSave();
}

void PersistentDictionary::setDictionary(const Value& dictionary) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dictionary_ = dictionary.isDictionary() ? dictionary : Value(Value::Dictionary{});
  }
  scheduleSave();
}

void PersistentDictionary::setNilValueForKey(const std::string& key) { setObject(Value(), key); }
void PersistentDictionary::removeObjectForKey(const std::string& key) { setObject(Value(), key); }

void PersistentDictionary::cancelTimerLocked() {
  if (saveTimer_) {
    RunLoop::main().cancelTimer(saveTimer_);
    saveTimer_ = 0;
  }
}

void PersistentDictionary::scheduleSave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (unsavedChangesBlockedForInternalChanges_) return;
  hasUnsavedChanges_ = true;
  cancelTimerLocked();
  // A released store cancels its timer in its destructor, so a change not yet written
  // is dropped with it, as the store promises.
  saveTimer_ = RunLoop::main().addTimer(1.0, [this] {
    std::unique_lock<std::mutex> lock(mutex_);
    saveTimer_ = 0;
    if (hasUnsavedChanges_) {
      lock.unlock();
      saveToFile();
    }
  });
}

void PersistentDictionary::saveToFile() {
  Data bytes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelTimerLocked();
    hasUnsavedChanges_ = false;
    bytes = dictionary_.toXMLPropertyList();
    // Written through a temporary file and a rename: a crash mid-write leaves the old
    // file whole, so "setupDone" or the palette choice are never lost.
    std::string error;
    if (!DeviceFiles::writeAtomically(persistentPath_, bytes, &error))
      KVLog("could not write %s: %s", persistentPath_.c_str(), error.c_str());
    ++writes_;
  }
}

bool PersistentDictionary::writeToFile(const std::string& path, bool atomically) {
  (void)atomically;  // always atomic; a torn preference file helps nobody
  return writeToURL(path, nullptr);
}

bool PersistentDictionary::writeToURL(const std::string& path, std::string* error) {
  Data bytes;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hasUnsavedChanges_ = false;
    bytes = dictionary_.toXMLPropertyList();
  }
  return DeviceFiles::writeAtomically(path, bytes, error);
}

void PersistentDictionary::reloadFromFile() {
  std::lock_guard<std::mutex> lock(mutex_);
  unsavedChangesBlockedForInternalChanges_ = true;
  dictionary_ = readFile();
  unsavedChangesBlockedForInternalChanges_ = false;
}

Value PersistentDictionary::dictionary() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dictionary_;
}

bool PersistentDictionary::hasUnsavedChanges() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hasUnsavedChanges_;
}

uint64_t PersistentDictionary::writeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}
