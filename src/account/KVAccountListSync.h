#pragma once
// What the wishlist and the followed-developers clients share: a list travels as one
// text, its items joined by ";". The upload replaces the service's list of the stored
// user ("userID" and the list's field in a form); the download reads the list of the
// stored user back from a JSON object.
#include <functional>
#include <optional>
#include <string>
#include <vector>

class KVAccountListSync {
 public:
  // The list's items in order, or nothing when the pull failed or the reply held no
  // text under the list's name.
  using ListCompletion = std::function<void(std::optional<std::vector<std::string>> list)>;

 protected:
  // `field` names the list both in the upload form and in the download's reply.
  KVAccountListSync(const char* uploadPath, const char* retrievePath, const char* field)
      : uploadPath_(uploadPath), retrievePath_(retrievePath), field_(field) {}

  // POSTs "userID=<id>&<field>=<joined>"; the reply is not read, the outcome only logged.
  void upload(const std::string& joined) const;
  // GETs "<retrievePath>?userID=<id>"; the completion runs on the request's queue.
  void retrieve(ListCompletion completion) const;

 private:
  const char* uploadPath_;
  const char* retrievePath_;
  const char* field_;
};
