// The screens drawn to pixels as a person sees them: a source's package list over the
// tab bar, rendered off-screen at the device's size, with each label's text where its
// frame is and the palette's background where the list shows nothing; the screens of
// the road from a refresh to a confirmed queue, each with every label a person can see
// drawn where its frame is and nothing drawn outside a view that clips; and the window's
// pointer on that list, as a click and a drag.
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "interface/ErrorViewController.h"
#include "interface/KVPackageListKind.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "operations/PackagesConfirmationViewController.h"
#include "operations/KVAPTManager.h"
#include "render/BarDrawing.h"
#include "render/ModalDrawing.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "support/TabBarRoadFixture.h"
#include "support/TestRoot.h"
#include "uikit/UIImageView.h"
#include "uikit/UIAlertController.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITableView.h"
#include "uikit/UITableViewCell.h"
#include "uikit/UITextView.h"
#include "uikit/UIVisualEffectView.h"
#include "webkit/WKWebView.h"

namespace {

const UILabel* labelReading(const UIView& view, const std::string& text) {
  if (auto* label = dynamic_cast<const UILabel*>(&view); label && label->text() == text) return label;
  for (const auto& sub : view.subviews())
    if (auto* found = labelReading(*sub, text)) return found;
  return nullptr;
}


bool near(const uint8_t* a, const uint8_t* b) {
  for (int i = 0; i < 3; ++i)
    if (std::abs(int(a[i]) - int(b[i])) > 24) return false;
  return true;
}

template <typename T>
T* enclosing(const UIView& view) {
  for (UIView* v = view.superview(); v; v = v->superview())
    if (auto* found = dynamic_cast<T*>(v)) return found;
  return nullptr;
}

CGPoint centreOf(const UIView& view) {
  CGPoint at = ViewRenderer::originInWindow(view);
  return {at.x + view.frame().size.width / 2, at.y + view.frame().size.height / 2};
}

// A view as it is painted: where it stands in the window, what of the window its
// clipping ancestors leave it, and whether it is turned or scaled.
struct Painted {
  const UIView* view;
  CGRect rect;
  CGRect clip;
  bool transformed;
};

CGRect intersection(CGRect a, CGRect b) {
  double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
  double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
  return x1 > x0 && y1 > y0 ? CGRect::make(x0, y0, x1 - x0, y1 - y0) : CGRect{};
}

bool inside(CGRect inner, CGRect outer) {
  return inner.minX() >= outer.minX() - 0.5 && inner.minY() >= outer.minY() - 0.5 && inner.maxX() <= outer.maxX() + 0.5 &&
         inner.maxY() <= outer.maxY() + 0.5;
}

// The window's views in the order they are painted; `covered` is how many of the first
// ones a dimmed presentation lies over.
void paintOrder(const UIView& view, CGPoint origin, CGRect clip, bool transformed, std::vector<Painted>& out,
                size_t& covered) {
  if (view.isHidden() || view.alpha() <= 0.01) return;
  if (ModalDrawing::alertOf(view) || ModalDrawing::isSheet(view)) covered = out.size();
  CGRect rect{origin, view.frame().size};
  transformed = transformed || !view.transform().isIdentity();
  out.push_back({&view, rect, clip, transformed});
  CGRect inner = view.layer().masksToBounds ? intersection(clip, rect) : clip;
  for (const auto& sub : view.subviews())
    paintOrder(*sub,
               {origin.x + sub->frame().origin.x - view.bounds().origin.x, origin.y + sub->frame().origin.y - view.bounds().origin.y},
               inner, transformed, out, covered);
}

bool isDescendant(const UIView* view, const UIView* of) {
  for (const UIView* v = view; v; v = v->superview())
    if (v == of) return true;
  return false;
}

// Whether a view painted later hides part of `rect`: a background, a bar, an alert, a
// blurred backdrop.
bool hiddenByLater(const std::vector<Painted>& painted, size_t index) {
  const Painted& p = painted[index];
  for (size_t j = index + 1; j < painted.size(); ++j) {
    const Painted& q = painted[j];
    if (isDescendant(q.view, p.view)) continue;
    auto background = q.view->backgroundColor();
    auto* veil = dynamic_cast<const UIVisualEffectView*>(q.view);
    bool paints = (background && background->alpha() > 0.1) || dynamic_cast<const UIBarBase*>(q.view) ||
                  ModalDrawing::alertOf(*q.view) || (veil && veil->effect());
    if (paints && intersection(intersection(q.rect, q.clip), p.rect).size.width > 0) return true;
  }
  return false;
}

// The text a label or a text view shows, else nothing.
std::string textOf(const UIView& view) {
  if (auto* label = dynamic_cast<const UILabel*>(&view)) return label->text();
  if (auto* textView = dynamic_cast<const UITextView*>(&view)) return textView->attributedText().string();
  return {};
}

// Every label and text view a person can see (on top, whole, not under a later view):
// its own drawing found at its frame in the screen's pixels. Answers the texts found.
std::vector<std::string> checkLabels(const UIWindow& window, const ImagePixels& screen, double scale) {
  std::vector<Painted> painted;
  size_t covered = 0;
  CGRect all{{0, 0}, window.frame().size};
  paintOrder(window, {0, 0}, all, false, painted, covered);
  std::vector<std::string> found;
  for (size_t i = covered; i < painted.size(); ++i) {
    std::string text = textOf(*painted[i].view);
    if (text.empty() || painted[i].transformed || !inside(painted[i].rect, painted[i].clip) || hiddenByLater(painted, i))
      continue;
    ImagePixels alone = ViewRenderer::render(*painted[i].view, scale);
    int ox = int(std::lround(painted[i].rect.minX() * scale)), oy = int(std::lround(painted[i].rect.minY() * scale));
    int ink = 0, matched = 0;
    for (int y = 0; y < alone.height; ++y)
      for (int x = 0; x < alone.width; ++x) {
        if (alone.at(x, y)[3] < 250 || ox + x >= screen.width || oy + y >= screen.height) continue;
        ++ink;
        matched += near(alone.at(x, y), screen.at(ox + x, oy + y));
      }
    if (ink < 20) continue;  // too little ink to tell
    EXPECT_GE(matched, ink * 9 / 10) << "\"" << text << "\": " << matched << " of " << ink << " pixels where its frame is";
    found.push_back(text);
  }
  return found;
}

// Nothing of a subview shows outside an ancestor that clips it: hidden, the screen is
// the same there (a few such subviews are looked at).
void checkClipping(UIWindow& window, const ImagePixels& screen, double scale) {
  std::vector<Painted> painted;
  size_t covered = 0;
  CGRect all{{0, 0}, window.frame().size};
  paintOrder(window, {0, 0}, all, false, painted, covered);
  int looked = 0;
  for (const Painted& p : painted) {
    auto background = p.view->backgroundColor();
    bool paints = (background && background->alpha() > 0.1) || !textOf(*p.view).empty() ||
                  (dynamic_cast<const UIImageView*>(p.view) && static_cast<const UIImageView*>(p.view)->image());
    CGRect spill = intersection(p.rect, all);
    if (!paints || p.transformed || spill.size.width <= 0 || inside(spill, p.clip) || looked >= 4) continue;
    auto* view = const_cast<UIView*>(p.view);
    view->setHidden(true);
    ImagePixels without = ViewRenderer::render(window, scale, UIColor::colorWithRed(1, 0, 1, 1));
    view->setHidden(false);
    ++looked;
    int differing = 0;
    for (int y = int(spill.minY() * scale); y < int(spill.maxY() * scale); ++y)
      for (int x = int(spill.minX() * scale); x < int(spill.maxX() * scale); ++x) {
        if (p.clip.contains({(x + 0.5) / scale, (y + 0.5) / scale})) continue;
        differing += !near(screen.at(x, y), without.at(x, y));
      }
    EXPECT_EQ(differing, 0) << typeid(*view).name() << " shows outside the view that clips it";
  }
}

UIColor paletteBackground() { return KVPaletteManager::getActivePalette()->backgroundColor(); }

bool showsColour(const ImagePixels& screen, CGPoint at, double scale, const UIColor& colour) {
  uint8_t expected[4] = {uint8_t(std::lround(colour.red() * 255)), uint8_t(std::lround(colour.green() * 255)),
                         uint8_t(std::lround(colour.blue() * 255)), 255};
  return near(screen.at(int(at.x * scale), int(at.y * scale)), expected);
}

class ScreenDrawing : public TabBarRoadFixture {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }

  // A source of these packages refreshed and its package list pushed on the Manage tab.
  UINavigationController* openPackageList(const std::string& packages) {
    std::string location = serveIndex("repo", packages);
    if (!refresh(location)) return nullptr;
    ui.advance(5);  // the refresh's card has given way
    if (!ui.tab("Manage")) return nullptr;
    auto* navigation = dynamic_cast<UINavigationController*>(tabs->selectedViewController());
    if (!navigation) return nullptr;
    navigation->pushViewController(screenContext().screens->packageList(KVPackageListKind::sourcePackages(location, "Repo")),
                                   false);
    ui.runUntilIdle();
    return navigation;
  }
};

TEST_F(ScreenDrawing, APackageListShowsItsTextInItsFramesOverThePalettesBackground) {
  ASSERT_NE(openPackageList(stanza("com.example.alpha", "1.0", {{"Name", "Alpha Tweak"}}) +
                            stanza("com.example.beta", "2.0", {{"Name", "Beta Tweak"}})),
            nullptr);
  ASSERT_TRUE(ui.screenShows("Beta Tweak")) << ui.screen();

  const double scale = 2;
  const UIColor magenta = UIColor::colorWithRed(1, 0, 1, 1);  // where nothing would paint
  ImagePixels screen = ViewRenderer::render(ui.window(), scale, magenta);
  ASSERT_EQ(screen.width, int(ui.window().frame().size.width * scale));
  ASSERT_EQ(screen.height, int(ui.window().frame().size.height * scale));

  // The name drawn alone, found at its frame in the screen's pixels.
  const UILabel* name = labelReading(ui.window(), "Beta Tweak");
  ASSERT_NE(name, nullptr);
  ImagePixels alone = ViewRenderer::render(*name, scale);
  CGPoint at = ViewRenderer::originInWindow(*name);
  int ink = 0, found = 0;
  for (int y = 0; y < alone.height; ++y)
    for (int x = 0; x < alone.width; ++x) {
      if (alone.at(x, y)[3] < 250) continue;
      ++ink;
      found += near(alone.at(x, y), screen.at(int(at.x * scale) + x, int(at.y * scale) + y));
    }
  EXPECT_GT(ink, 100) << "the name's text is drawn";
  EXPECT_GE(found, ink * 95 / 100) << found << " of " << ink << " pixels of the name where its frame is";

  // Below the last row: the palette's background, not the ground.
  UIColor background = KVPaletteManager::getActivePalette()->backgroundColor();
  const uint8_t* below = screen.at(screen.width / 2, int((at.y + 90) * scale));
  uint8_t expected[4] = {uint8_t(std::lround(background.red() * 255)), uint8_t(std::lround(background.green() * 255)),
                         uint8_t(std::lround(background.blue() * 255)), 255};
  EXPECT_TRUE(near(below, expected)) << int(below[0]) << "," << int(below[1]) << "," << int(below[2]) << " for "
                                     << background.description();
}

// Down the road from a refresh to a confirmed queue, each screen drawn as a person sees
// it; QB_SCREEN_DRAWINGS names a folder to keep the pictures in.
TEST_F(ScreenDrawing, TheRoadsScreensShowTheirLabelsInTheirFramesAndNothingOutsideAClip) {
  ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  const double scale = 2;
  const char* keep = std::getenv("QB_SCREEN_DRAWINGS");
  // The screen on top, drawn: the texts a person must read there, and where the
  // palette's background shows, if anywhere.
  auto check = [&](const std::string& name, const std::vector<std::string>& mustRead, std::optional<CGPoint> background) {
    SCOPED_TRACE(name + "\n" + ui.screen());
    UIWindow::layoutAllWindows();
    if (keep) ViewRenderer::writePNG(ui.window(), scale, std::string(keep) + "/" + name + ".png");
    ImagePixels screen = ViewRenderer::render(ui.window(), scale, UIColor::colorWithRed(1, 0, 1, 1));
    std::vector<std::string> read = checkLabels(ui.window(), screen, scale);
    for (const auto& text : mustRead)
      EXPECT_TRUE(std::any_of(read.begin(), read.end(), [&](const std::string& r) { return r.find(text) != std::string::npos; }))
          << "\"" << text << "\" is drawn where its label is";
    checkClipping(ui.window(), screen, scale);
    if (background) {
      EXPECT_TRUE(showsColour(screen, *background, scale, paletteBackground()));
    }
  };

  // A refresh under way: its card floats over the tab bar.
  auto locations = heldRepositories({"alpha", "beta"});
  manager().refreshSources(locations);
  ASSERT_TRUE(server.waitForRequests("/alpha/Release", 1) && server.waitForRequests("/beta/Release", 1));
  ui.runUntilIdle();
  check("tab-bar-card", {"Tasks In Progress"}, std::nullopt);

  // The task list, then the verbose log, over the tab bar.
  preferences().setObject(Value(false), "ShowVerboseUI");
  tabs->presentTasks();
  ui.runUntilIdle();
  check("task-list", {"Refreshing " + locations[1]}, CGPoint{187, 600});
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  preferences().setObject(Value(true), "ShowVerboseUI");
  tabs->presentTasks();
  ui.runUntilIdle();
  check("verbose-log", {"Starting source info download"}, std::nullopt);
  tabs->dismissViewControllerAnimated(false);
  release.arrive();
  ASSERT_TRUE(waitForPipeline());
  std::string names = serveIndex("names", stanza("com.example.one", "1.0", {{"Name", "Alpha Tweak"}}) +
                                              stanza("com.example.two", "1.0", {{"Name", "Beta Tweak"}}) +
                                              stanza("com.example.three", "1.0", {{"Name", "Gamma Tweak"}}));
  ASSERT_TRUE(refresh(names));
  ui.advance(5);

  // The source's package list, then the queue's confirmation.
  ASSERT_TRUE(ui.tab("Manage"));
  auto* navigation = dynamic_cast<UINavigationController*>(tabs->selectedViewController());
  ASSERT_NE(navigation, nullptr);
  navigation->pushViewController(screenContext().screens->packageList(KVPackageListKind::sourcePackages(names, "Names")),
                                 false);
  ui.runUntilIdle();
  check("package-list", {"Beta Tweak", "Gamma Tweak"}, CGPoint{187, 600});
  // With the list's content below the large title's band, the title stands there, and
  // goes back into the bar once the list is scrolled up into the band.
  {
    UITableView* list = enclosing<UITableView>(*labelReading(ui.window(), "Beta Tweak"));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(navigation->navigationBar()->showsLargeTitle());
    CGRect barFrame = navigation->navigationBar()->frame();
    double band = barFrame.maxY() + UINavigationBar::kLargeTitleHeight;
    UIEdgeInsets before = list->contentInset();
    auto dark = [&](CGRect area) {
      ImagePixels shown = ViewRenderer::render(ui.window(), 1, UIColor::whiteColor());
      int n = 0;
      for (int y = int(area.minY()); y < int(area.maxY()); ++y)
        for (int x = int(area.minX()); x < int(area.maxX()); ++x)
          n += shown.at(x, y)[0] < 60 && shown.at(x, y)[1] < 60 && shown.at(x, y)[2] < 60;
      return n;
    };
    CGRect inBand = CGRect::make(16, barFrame.maxY() + 4, 150, UINavigationBar::kLargeTitleHeight - 8);
    CGRect inBar = CGRect::make(barFrame.width() * 0.3, barFrame.minY() + 6, barFrame.width() * 0.4, barFrame.height() - 12);
    list->setContentInset({band, 0, 0, 0});
    list->setContentOffset({0, -band});
    EXPECT_GT(dark(inBand), 200) << "the large title";
    EXPECT_EQ(dark(inBar), 0) << "and none in the bar";
    list->setContentOffset({0, -band + 60});
    EXPECT_GT(dark(inBar), 100) << "scrolled: the title back in the bar";
    list->setContentInset(before);
    list->setContentOffset({0, 0});
  }
  // A click on the bar's back button where it is drawn goes back.
  UINavigationBar* bar = navigation->navigationBar().get();
  auto places = BarDrawing::itemPlaces(*bar);
  ASSERT_FALSE(places.empty());
  EXPECT_EQ(places.front().item, nullptr) << "the back button first";
  CGPoint barAt = ViewRenderer::originInWindow(*bar);
  CGPoint back{barAt.x + places.front().rect.midX(), barAt.y + places.front().rect.midY()};
  WindowInput pointer;
  pointer.pointer(back, true);
  pointer.pointer(back, false);
  ui.runUntilIdle();
  EXPECT_EQ(navigation->viewControllers().size(), 1u);

  for (const char* identifier : {"com.example.one", "com.example.two", "com.example.three"})
    ASSERT_EQ(root->packagesManager->setPackage(identifier, true, std::nullopt, 0), nullptr);
  auto confirmation = std::make_shared<PackagesConfirmationViewController>(screenContext());
  tabs->presentViewController(std::make_shared<UINavigationController>(confirmation), false);
  ui.runUntilIdle();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !confirmation->isResolving(); }, 60));
  ui.runUntilIdle();
  // Scrolled a little: the first row runs above the list, which clips it.
  confirmation->packagesConfirmationTableView()->setContentOffset({0, 80});
  check("queue-confirmation", {"Gamma Tweak"}, CGPoint{187, 700});
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // The application's alert card.
  auto alertCard = std::make_shared<ErrorViewController>();
  alertCard->showWithTitle("Disk full", "There is no room left.", 1, "OK", std::nullopt, std::string());
  alertCard->presentFromTopPresenter();
  ui.runUntilIdle();
  check("alert-card", {"Disk full", "There is no room left."}, std::nullopt);
  alertCard->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // A system alert: its card drawn over the dimmed screen, an action chosen by a click
  // on its place in the card.
  auto alert = UIAlertController::alertControllerWithTitle("Remove Source?", "Its packages go with it.",
                                                           UIAlertControllerStyleAlert);
  std::string chosen;
  alert->addTextFieldWithConfigurationHandler([](UITextField& field) { field.setText("note"); });
  alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, [&](UIAlertAction&) { chosen = "Cancel"; }));
  alert->addAction(UIAlertAction::actionWithTitle("Remove", UIAlertActionStyleDestructive, [&](UIAlertAction&) { chosen = "Remove"; }));
  tabs->presentViewController(alert, false);
  ui.runUntilIdle();
  check("alert", {}, std::nullopt);
  UIAlertCardLayout layout = alert->cardLayout();
  ASSERT_EQ(layout.buttons.size(), 2u);
  EXPECT_LT(layout.buttons[0].minX(), layout.buttons[1].minX()) << "Cancel on the left";
  ImagePixels shown = ViewRenderer::render(ui.window(), 1);
  CGRect card = layout.card;
  EXPECT_TRUE(showsColour(shown, {card.minX() + 4, card.midY()}, 1, UIColor::colorWithWhite(0.97, 1))) << "the card";
  EXPECT_FALSE(showsColour(shown, {card.minX() - 4, card.midY()}, 1, UIColor::colorWithWhite(0.97, 1))) << "dimmed beside it";
  WindowInput input;
  CGPoint remove{layout.buttons[1].midX(), layout.buttons[1].midY()};
  input.pointer(remove, true);
  input.pointer(remove, false);
  ui.runUntilIdle();
  EXPECT_EQ(chosen, "Remove");
  EXPECT_EQ(tabs->presentedViewController(), nullptr);
}

TEST_F(ScreenDrawing, TheWindowsPointerDragsTheListAndClicksARow) {
  std::string packages;
  for (int i = 10; i < 40; ++i)
    packages += stanza("com.example.p" + std::to_string(i), "1.0", {{"Name", "Tweak " + std::to_string(i)}});
  UINavigationController* navigation = openPackageList(packages);
  ASSERT_NE(navigation, nullptr);
  UIViewController* list = navigation->topViewController();
  const UILabel* first = labelReading(ui.window(), "Tweak 10");
  ASSERT_NE(first, nullptr) << ui.screen();
  UITableView* table = enclosing<UITableView>(*first);
  ASSERT_NE(table, nullptr);
  ui.window().layoutIfNeeded();

  // Dragging up by 200 points moves the content as far, and opens nothing.
  WindowInput input;
  CGPoint start = centreOf(*table);
  input.pointer(start, true);
  for (int step = 1; step <= 4; ++step) input.pointer({start.x, start.y - 50 * step}, true);
  input.pointer({start.x, start.y - 200}, false);
  ui.runUntilIdle();
  EXPECT_DOUBLE_EQ(table->contentOffset().y, 200);
  EXPECT_EQ(navigation->topViewController(), list);

  // A click at a visible cell's centre opens that row's package.
  ui.window().layoutIfNeeded();
  const UILabel* name = labelReading(ui.window(), "Tweak 20");
  ASSERT_NE(name, nullptr) << ui.screen();
  auto* cell = enclosing<UITableViewCell>(*name);
  ASSERT_NE(cell, nullptr);
  CGPoint centre = centreOf(*cell);
  input.pointer(centre, true);
  input.pointer(centre, false);
  ui.runUntilIdle();
  EXPECT_NE(navigation->topViewController(), list);
  EXPECT_TRUE(ui.screenShows("com.example.p20") || ui.screenShows("Tweak 20")) << ui.screen();
}

// A web page as a plain page of its text: the title dark and bold at the top, the link
// in the tint below it.
TEST(WebPageDrawing, APageShowsItsTitleTextAndLinks) {
  auto web = std::make_shared<WKWebView>(CGRect::make(0, 0, 320, 240));
  web->loadHTMLString("<title>Release Notes</title><p>Fixes the settings page.</p><a href='more'>Read more</a>",
                      URL::fromString("https://example.org/notes"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !web->isLoading() && !web->page().summary.title.empty(); }, 10));
  ImagePixels page = ViewRenderer::render(*web, 1, UIColor::whiteColor());
  auto count = [&](int top, int bottom, auto&& wanted) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < page.width; ++x) n += wanted(page.at(x, y));
    return n;
  };
  auto dark = [](const uint8_t* p) { return p[0] < 80 && p[1] < 80 && p[2] < 80; };
  UIColor tint = web->tintColor();
  auto tinted = [&](const uint8_t* p) {
    return std::abs(p[0] - tint.red() * 255) < 40 && std::abs(p[1] - tint.green() * 255) < 40 &&
           std::abs(p[2] - tint.blue() * 255) < 40 && !(p[0] > 200 && p[1] > 200 && p[2] > 200);
  };
  EXPECT_GT(count(14, 44, dark), 150) << "the title";
  EXPECT_GT(count(44, 120, dark), 100) << "the paragraph";
  EXPECT_GT(count(44, 160, tinted), 50) << "the link";
  EXPECT_EQ(count(180, 240, dark), 0) << "nothing below the text";
}

}  // namespace
