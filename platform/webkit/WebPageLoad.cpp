#include "webkit/WebPageLoad.h"

#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"

std::shared_ptr<WebPageLoad> WebPageLoad::start(const URLRequest& request, std::weak_ptr<void> owner, Completion done) {
  auto load = std::make_shared<WebPageLoad>();
  std::weak_ptr<WebPageLoad> weakLoad = load;
  URLRequest page = request;
  // A page is read whole: it costs what a page may, unless the caller said otherwise.
  if (!page.replyLimits().kind) page.setReplyLimits(URLReplyKinds::kWebPage);
  load->task_ = URLSession::sharedSession()->dataTaskWithRequest(
      page, [weakLoad, owner, done = std::move(done)](std::optional<Data> body, URLResponseRef response, ErrorRef error) {
        auto result = std::make_shared<Result>(Result{std::move(body), std::move(response), std::move(error)});
        RunLoop::main().post([weakLoad, owner, done, result] {
          auto load = weakLoad.lock();
          if (!load || load->cancelled_ || owner.expired()) return;
          load->cancelled_ = true;  // reported once
          done(*result);
        });
      });
  load->task_->resume();
  return load;
}

void WebPageLoad::cancel() {
  if (cancelled_.exchange(true)) return;
  if (task_) task_->cancel();
}
