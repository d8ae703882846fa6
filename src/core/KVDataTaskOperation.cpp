#include "core/KVDataTaskOperation.h"

template <typename Make>
std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::make(const std::shared_ptr<URLSession>& session,
                                                               const URLRequest& request, Value object,
                                                               Make makeHandler) {
  std::shared_ptr<KVDataTaskOperation> op(new KVDataTaskOperation());
  op->object_ = std::move(object);
  op->identifier_ = request.url() ? request.url()->absoluteString() : std::string();
  // The task's handler holds the operation weakly: the queue keeps it alive while it
  // runs, and a dropped operation simply hears nothing.
  std::weak_ptr<KVDataTaskOperation> weak = op;
  op->task_ = session->dataTaskWithRequest(request, makeHandler(weak));
  return op;
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URL& url, CompletionHandler block) {
  return initWithSession(session, URLRequest(url), std::move(block));
}

std::shared_ptr<KVDataTaskOperation> KVDataTaskOperation::initWithSession(const std::shared_ptr<URLSession>& session,
                                                                          const URLRequest& request,
                                                                          CompletionHandler block) {
  return make(session, request, Value(), [block](std::weak_ptr<KVDataTaskOperation> weak) {
    return [weak, block](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
      if (auto op = weak.lock()) op->completeOperationWithBlock(block, std::move(d), std::move(r), std::move(e));
    };
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
  return make(session, request, Value(), [block](std::weak_ptr<KVDataTaskOperation> weak) {
    return [weak, block](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
      if (auto op = weak.lock()) op->completeOperationWithUniqueBlock(block, std::move(d), std::move(r), std::move(e));
    };
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
  Value captured = object;
  return make(session, request, std::move(object), [block, captured](std::weak_ptr<KVDataTaskOperation> weak) {
    return [weak, block, captured](std::optional<Data> d, URLResponseRef r, ErrorRef e) {
      if (auto op = weak.lock())
        op->completeOperationWithBlock(block, std::move(d), std::move(r), std::move(e), captured);
    };
  });
}

void KVDataTaskOperation::start() {
  if (isCancelled()) {
    finish();
    return;
  }
  task_->resume();
  setExecuting();
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
