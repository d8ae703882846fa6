#pragma once
// One URL-session data task as an operation, so downloads can sit on an operation
// queue of their own (bounding how many run), be cancelled as operations, and come
// back with an identifier or an object of the caller's. A cancelled operation never
// calls its block. Blocks run on the session's delegate queue.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/OperationQueue.h"
#include "foundation/URLSession.h"
#include "foundation/Value.h"

class KVDataTaskOperation : public Operation {
 public:
  using CompletionHandler = std::function<void(std::optional<Data> data, URLResponseRef response, ErrorRef error)>;
  using UniqueCompletionHandler = std::function<void(std::optional<Data> data, URLResponseRef response,
                                                     ErrorRef error, const std::string& identifier)>;
  using ObjectCompletionHandler = std::function<void(std::optional<Data> data, URLResponseRef response,
                                                     ErrorRef error, const Value& object)>;

  // The six initializers; the task is made now and started by start(). A block may be
  // empty (pass CompletionHandler{} and so on).
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URL& url, CompletionHandler completionHandler);
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URLRequest& request,
                                                              CompletionHandler completionHandler);
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URL& url,
                                                              UniqueCompletionHandler uniqueCompletionHandler);
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URLRequest& request,
                                                              UniqueCompletionHandler uniqueCompletionHandler);
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URL& url, Value object,
                                                              ObjectCompletionHandler completionHandler);
  static std::shared_ptr<KVDataTaskOperation> initWithSession(const std::shared_ptr<URLSession>& session,
                                                              const URLRequest& request, Value object,
                                                              ObjectCompletionHandler completionHandler);

  const std::shared_ptr<URLSessionDataTask>& task() const { return task_; }
  const std::string& identifier() const { return identifier_; }
  const Value& object() const { return object_; }

  void start() override;
  bool isAsynchronous() const override { return true; }
  bool isConcurrent() const { return true; }

  void completeOperationWithBlock(const CompletionHandler& block, std::optional<Data> data, URLResponseRef response,
                                  ErrorRef error);
  void completeOperationWithUniqueBlock(const UniqueCompletionHandler& block, std::optional<Data> data,
                                        URLResponseRef response, ErrorRef error);
  void completeOperationWithBlock(const ObjectCompletionHandler& block, std::optional<Data> data,
                                  URLResponseRef response, ErrorRef error, const Value& object);
  void completeOperation();

 protected:
  void didCancel() override;

 private:
  KVDataTaskOperation() = default;
  template <typename Complete>
  static std::shared_ptr<KVDataTaskOperation> make(const std::shared_ptr<URLSession>& session,
                                                   const URLRequest& request, Value object, Complete complete);

  std::shared_ptr<URLSessionDataTask> task_;
  std::string identifier_;
  Value object_;
};
