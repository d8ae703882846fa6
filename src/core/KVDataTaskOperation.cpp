#include "core/KVDataTaskOperation.h"

// Every form makes its task the same way; `complete` hands the reply to the
// operation's completion method of the form's kind.
template <typename Complete>
std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::make(const std::shared_ptr<URLSession>& session,
                                                               const URLRequest& request, Value object,
                                                               Complete complete) {
  std::shared_ptr<KVDataTaskOperation> op(new KVDataTaskOperation());
  op->object_ = std::move(object);
  op->identifier_ = request.url() ? request.url()->absoluteString() : std::string();
  // The task's handler holds the operation weakly: the queue keeps it alive while it
  // runs, and a dropped operation simply hears nothing.
  std::weak_ptr<KVDataTaskOperation> weak = op;
  op->task_ = session->dataTaskWithRequest(
      request, [weak, complete](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
        if (auto op = weak.lock()) complete(*op, std::move(d), std::move(r), std::move(e));
      });
  return op;
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URL& url, CompletionHandler block) {
  return initWithSession(session, URLRequest(url), std::move(block));
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URLRequest& request,
                                                                          CompletionHandler block) {
  return make(session, request, Value(),
              [block](KVDataTaskOperation& op, std::optional<Data> d, URLResponseRef r, ErrorRef e) {
                op.completeOperationWithBlock(block, std::move(d), std::move(r), std::move(e));
              });
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URL& url,
                                                                          UniqueCompletionHandler block) {
  return initWithSession(session, URLRequest(url), std::move(block));
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URLRequest& request,
                                                                          UniqueCompletionHandler block) {
  return make(session, request, Value(),
              [block](KVDataTaskOperation& op, std::optional<Data> d, URLResponseRef r, ErrorRef e) {
                op.completeOperationWithUniqueBlock(block, std::move(d), std::move(r), std::move(e));
              });
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URL& url, Value object,
                                                                          ObjectCompletionHandler block) {
  return initWithSession(session, URLRequest(url), std::move(object), std::move(block));
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URLRequest& request, Value object,
                                                                          ObjectCompletionHandler block) {
  // The operation keeps the object; the handler reaches it only while the operation lives.
  return make(session, request, std::move(object),
              [block](KVDataTaskOperation& op, std::optional<Data> d, URLResponseRef r, ErrorRef e) {
                op.completeOperationWithBlock(block, std::move(d), std::move(r), std::move(e), op.object());
              });
}

void KVDataTaskOperation::start() {
  if (isCancelled()) {
    finish();
    return;
  }
  // Executing before the task can end: a reply that comes at once (a refused or
  // unsupported address) must not find the operation idle and leave it executing after
  // it finished.
  setExecuting();
  task_->resume();
}

void KVDataTaskOperation::didCancel() { task_->cancel(); }

void KVDataTaskOperation::completeOperationWithBlock(const CompletionHandler& block, std::optional<Data> data,
                                                     URLResponseRef response, ErrorRef error) {
  if (block && !isCancelled()) block(std::move(data), std::move(response), std::move(error));
  completeOperation();
}

void KVDataTaskOperation::completeOperationWithUniqueBlock(const UniqueCompletionHandler& block,
                                                           std::optional<Data> data, URLResponseRef response,
                                                           ErrorRef error) {
  if (block && !isCancelled()) block(std::move(data), std::move(response), std::move(error), identifier_);
  completeOperation();
}

void KVDataTaskOperation::completeOperationWithBlock(const ObjectCompletionHandler& block, std::optional<Data> data,
                                                     URLResponseRef response, ErrorRef error, const Value& object) {
  if (block && !isCancelled()) block(std::move(data), std::move(response), std::move(error), object);
  completeOperation();
}

void KVDataTaskOperation::completeOperation() { finish(); }
