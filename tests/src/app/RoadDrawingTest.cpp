// The screens of the roads as the window draws them (laid out as a person watching sees
// them), in each of the four palettes, checked from the renderer's own records of what it
// drew where: each text whole where its frame has room, no text over another, each text
// standing out from what is drawn behind it, every control where the pointer finds it and
// inside the window, presented screens opaque, the tab bar's icons drawn, each list's last
// row reachable above the tab bar and its card, and the screen's text listing the rows the
// drawing shows. A switch of the settings, the search field and the scope control answer
// clicks. QB_SCREEN_DRAWINGS names a folder to keep the pictures in.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interface/DarkmodeViewController.h"
#include "interface/ErrorViewController.h"
#include "interface/InitViewController.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVPackageListKind.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"
#include "interface/SegmentedViewController.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "render/BarDrawing.h"
#include "render/TextDrawing.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "support/TabBarRoadFixture.h"
#include "support/TestData.h"
#include "support/TestRoot.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UIInteraction.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwitch.h"
#include "uikit/UITabBar.h"
#include "uikit/UITabBarController.h"
#include "uikit/UITableView.h"
#include "webkit/WKWebView.h"

namespace {

using Record = TextDrawing::Record;

CGRect meet(CGRect a, CGRect b) {
  double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
  double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
  return x1 > x0 && y1 > y0 ? CGRect::make(x0, y0, x1 - x0, y1 - y0) : CGRect{};
}
bool empty(CGRect r) { return r.size.width <= 0 || r.size.height <= 0; }
bool covers(CGRect outer, CGRect inner) {
  return outer.minX() <= inner.minX() + 0.5 && outer.minY() <= inner.minY() + 0.5 && outer.maxX() >= inner.maxX() - 0.5 &&
         outer.maxY() >= inner.maxY() - 0.5;
}
std::string describe(CGRect r) {
  char s[80];
  std::snprintf(s, sizeof s, "(%.0f,%.0f %.0fx%.0f)", r.minX(), r.minY(), r.width(), r.height());
  return s;
}

bool within(const UIView* inner, const UIView* outer) {
  for (const UIView* v = inner; v; v = v->superview())
    if (v == outer) return true;
  return false;
}

// The view's rectangle in the window, less what its clipping ancestors cut away.
CGRect visibleRect(const UIView& view) {
  CGPoint at = ViewRenderer::originInWindow(view);
  CGRect r{at, view.frame().size};
  for (const UIView* s = view.superview(); s; s = s->superview())
    if (s->layer().masksToBounds || dynamic_cast<const UIScrollView*>(s))
      r = meet(r, CGRect{ViewRenderer::originInWindow(*s), s->frame().size});
  return r;
}

// The nearest ancestor that paints a ground of its own (a card, a cell, a screen): a
// line of text may run to its edge, less a margin.
const UIView* ground(const UIView* view) {
  for (const UIView* v = view ? view->superview() : nullptr; v; v = v->superview())
    if (auto b = v->backgroundColor(); (b && b->alpha() > 0.5) || v->layer().masksToBounds) return v;
  return nullptr;
}

// The relative luminance of a pixel, and the contrast ratio of two, as WCAG measures them.
double luminance(const uint8_t* p) {
  auto linear = [](uint8_t v) {
    double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
}
double contrast(const uint8_t* a, const uint8_t* b) {
  double x = luminance(a), y = luminance(b);
  return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Whether an opaque fill drawn after the record covers its ink: not seen.
bool hiddenLater(const std::vector<Record>& records, size_t index) {
  for (size_t j = index + 1; j < records.size(); ++j)
    if (records[j].kind == Record::Fill && covers(records[j].rect, records[index].ink)) return true;
  return false;
}

// The palettes by style, as their preferences choose them.
const char* const kPaletteNames[] = {"Light", "Blue", "Grey", "Black"};
void choosePalette(uint32_t style) {
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(style == 1), "DarkMode");
  preferences.setObject(Value(style == 2), "AppleDarkMode");
  preferences.setObject(Value(style == 3), "TrueDarkMode");
  KVPaletteManager::updatePaletteFromSettings();
}

class RoadDrawing : public TabBarRoadFixture, public ::testing::WithParamInterface<uint32_t> {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }
  void SetUp() override {
    if (GetParam() % 2 == 1) watched.emplace(false);
    TabBarRoadFixture::SetUp();
    choosePalette(GetParam());
    ui.runUntilIdle();
  }

  // The window drawn once, its records kept.
  std::vector<Record> draw(const std::string& name) {
    std::optional<ViewRenderer::Watched> drawing;
    if (!watched) drawing.emplace(false);
    UIWindow::layoutAllWindows();
    ViewRenderer::settle(ui.window());
    if (const char* keep = std::getenv("QB_SCREEN_DRAWINGS"))
      ViewRenderer::writePNG(ui.window(), 2, std::string(keep) + "/" + name + "-" + kPaletteNames[GetParam()] + ".png",
                             UIColor::whiteColor());
    TextDrawing::Recorder recorder;
    (void)ViewRenderer::render(ui.window(), 1, UIColor::whiteColor());
    return recorder.records();
  }

  // Every check on the screen in front; `name` says which in the failures.
  void check(const std::string& name) {
    SCOPED_TRACE(name + "\n" + ui.screen());
    std::optional<ViewRenderer::Watched> drawing;
    if (!watched) drawing.emplace(false);
    std::vector<Record> records = draw(name);
    checked.push_back(name);
    CGRect window{{0, 0}, ui.window().frame().size};
    for (size_t i = 0; i < records.size(); ++i) {
      const Record& r = records[i];
      // Hidden under an opaque fill drawn later: not seen, not checked.
      if (r.kind != Record::Text || empty(r.ink) || hiddenLater(records, i)) continue;
      if (r.cut) checkRoom(records, i);
      for (size_t j = i + 1; j < records.size(); ++j) {
        const Record& q = records[j];
        CGRect both = meet(r.ink, q.ink);
        if (q.kind != Record::Text || both.width() < 1.5 || both.height() < 1.5) continue;
        bool between = false;
        for (size_t k = i + 1; k < j && !between; ++k)
          between = records[k].kind == Record::Fill && covers(records[k].rect, both);
        EXPECT_TRUE(between) << "\"" << q.text << "\" " << describe(q.ink) << " is drawn over \"" << r.text << "\" "
                             << describe(r.ink);
      }
    }
    checkControls(window);
    checkLabelsInWindow(ui.window(), window);
    checkContrast();
    checkLastRowReachable(name);
  }

  // Each text a person sees stands out from what is drawn behind it: its most inked
  // pixels against the same pixels drawn without any text, by at least 4.5 to 1 (3 to 1
  // for large text), as WCAG asks of text. A disabled control's text, and what lies
  // under the veil of a sheet or an alert, are set back on purpose.
  void checkContrast() {
    const double scale = 2;  // glyphs' stems cover whole pixels
    ImagePixels drawn = ViewRenderer::render(ui.window(), scale, UIColor::whiteColor());
    std::vector<Record> records;
    ImagePixels behind;
    {
      TextDrawing::Recorder recorder(true);
      behind = ViewRenderer::render(ui.window(), scale, UIColor::whiteColor());
      records = recorder.records();
    }
    for (size_t i = 0; i < records.size(); ++i) {
      const Record& r = records[i];
      if (r.kind != Record::Text || r.inactive || empty(r.ink) || hiddenLater(records, i)) continue;
      bool veiled = false;
      for (size_t j = i + 1; j < records.size() && !veiled; ++j)
        veiled = records[j].kind == Record::Veil && covers(records[j].rect, r.ink);
      if (veiled) continue;
      double best = 1;
      for (int y = std::max(0, int(r.ink.minY())); y < std::min(drawn.height, int(std::ceil(r.ink.maxY()))); ++y)
        for (int x = std::max(0, int(r.ink.minX())); x < std::min(drawn.width, int(std::ceil(r.ink.maxX()))); ++x)
          best = std::max(best, contrast(drawn.at(x, y), behind.at(x, y)));
      CGRect shown = CGRect::make(r.ink.minX() / scale, r.ink.minY() / scale, r.ink.width() / scale, r.ink.height() / scale);
      EXPECT_GE(best, r.large ? 3.0 : 4.5) << "\"" << r.text << "\" " << describe(shown) << " stands out from what lies behind it by "
                                           << best << " to 1";
    }
  }

  // Where the screen in front is seen, from what is drawn over it: below its navigation
  // bar (and the large title standing in its band), above its tab bar and the card that
  // floats over the tab bar.
  CGRect seenRegion() {
    UIViewController* front = UIInteraction::front();
    CGRect own{ViewRenderer::originInWindow(*front->view()), front->view()->frame().size};
    double top = own.minY(), bottom = own.maxY();
    if (auto* navigation = front->navigationController(); navigation && !navigation->isNavigationBarHidden()) {
      const UINavigationBar& bar = *navigation->navigationBar();
      top = std::max(top, ViewRenderer::originInWindow(bar).y + bar.frame().height() +
                              (bar.largeTitleStands() ? UINavigationBar::kLargeTitleHeight : 0));
    }
    if (auto* tabBars = front->tabBarController(); tabBars && !tabBars->tabBar()->isHidden()) {
      bottom = std::min(bottom, ViewRenderer::originInWindow(*tabBars->tabBar()).y);
      for (UIView* floating : tabBars->floatingViews())
        if (floating->alpha() > 0.01) bottom = std::min(bottom, ViewRenderer::originInWindow(*floating).y);
    }
    return CGRect::make(own.minX(), top, own.width(), std::max(0.0, bottom - top));
  }

  // The screen's text lists a table's row where the drawing shows some of it, between the
  // bars and inside what clips the table, and only there.
  void checkTextAgrees(const std::string& where) {
    CGRect seen = seenRegion();
    std::function<void(UIView&)> each = [&](UIView& v) {
      if (v.isHidden() || v.alpha() <= 0.01) return;
      if (auto* table = dynamic_cast<UITableView*>(&v)) {
        std::vector<std::string> lines;
        table->appendScreenText(lines);
        std::string text;
        for (const auto& line : lines) text += line + "\n";
        CGRect room = meet(seen, meet(visibleRect(*table), CGRect{ViewRenderer::originInWindow(*table), table->frame().size}));
        for (const auto& path : table->indexPathsForVisibleRows()) {
          auto cell = table->cellForRowAtIndexPath(path);
          if (!cell || cell->isHidden()) continue;
          CGRect r{ViewRenderer::originInWindow(*cell), cell->frame().size};
          double shown = std::min(r.maxY(), room.maxY()) - std::max(r.minY(), room.minY());
          if (empty(room)) shown = 0;
          bool listed = text.find("  " + path.description() + ": ") != std::string::npos;
          if (shown > 0.5) {
            EXPECT_TRUE(listed) << where << ": row " << path.description() << " at " << describe(r) << " is drawn in "
                                << describe(room) << " but not listed:\n" << text;
          } else if (shown <= 0) {
            EXPECT_FALSE(listed) << where << ": row " << path.description() << " at " << describe(r)
                                 << " is listed but not drawn in " << describe(room);
          }
        }
      }
      for (auto& sub : v.subviews()) each(*sub);
    };
    if (UIViewController* front = UIInteraction::front(); front && front->isViewLoaded()) each(*front->view());
  }

  // Scrolled to the bottom as a person scrolls it, each page of the screen in front shows
  // the end of its content in the seen region, and its last row whole there, inside what
  // clips the list, where a click reaches it. The offsets are put back after.
  void checkLastRowReachable(const std::string& name) {
    UIViewController* front = UIInteraction::front();
    if (!front || !front->isViewLoaded()) return;
    checkTextAgrees("at rest");
    std::vector<std::pair<UIScrollView*, CGPoint>> moved;
    std::function<void(UIView&)> scrollDown = [&](UIView& v) {
      if (v.isHidden() || v.alpha() <= 0.01) return;
      if (auto* s = dynamic_cast<UIScrollView*>(&v); s && s->scrollsUpAndDown()) {
        moved.emplace_back(s, s->contentOffset());
        s->setContentOffset({s->contentOffset().x, s->maximumContentOffset().y});
        s->layoutIfNeeded();
      }
      for (auto& sub : v.subviews()) scrollDown(*sub);
    };
    scrollDown(*front->view());
    UIWindow::layoutAllWindows();
    ViewRenderer::settle(ui.window());
    if (const char* keep = std::getenv("QB_SCREEN_DRAWINGS"); keep && !moved.empty())
      ViewRenderer::writePNG(ui.window(), 2, std::string(keep) + "/" + name + "-" + kPaletteNames[GetParam()] + "-bottom.png",
                             UIColor::whiteColor());
    CGRect seen = seenRegion();
    checkTextAgrees("scrolled to the bottom");
    for (auto& [scroll, offset] : moved) {
      (void)offset;
      // The lowest last row of the lists it holds (itself among them).
      UITableView* table = nullptr;
      NSIndexPath last;
      CGRect lowest;
      std::function<void(UIView&)> find = [&](UIView& v) {
        if (v.isHidden() || v.alpha() <= 0.01) return;
        if (auto* t = dynamic_cast<UITableView*>(&v))
          for (long section = t->numberOfSections() - 1; section >= 0; --section) {
            long rows = t->numberOfRowsInSection(section);
            if (rows == 0) continue;
            CGRect r = t->rectForRowAtIndexPath({section, rows - 1});
            CGPoint at = ViewRenderer::originInWindow(*t);
            CGRect inWindow = CGRect::make(at.x + r.minX() - t->bounds().minX(), at.y + r.minY() - t->bounds().minY(), r.width(), r.height());
            if (!table || inWindow.maxY() > lowest.maxY()) table = t, last = {section, rows - 1}, lowest = inWindow;
            break;
          }
        for (auto& sub : v.subviews()) find(*sub);
      };
      find(*scroll);
      double end = ViewRenderer::originInWindow(*scroll).y + scroll->contentSize().height - scroll->contentOffset().y;
      EXPECT_LE(end, seen.maxY() + 0.5) << "scrolled to the bottom, the end of the content of "
                                        << describe(CGRect{ViewRenderer::originInWindow(*scroll), scroll->frame().size})
                                        << " lies at " << end << ", below what is seen, " << describe(seen);
      if (!table) continue;
      CGRect room = meet(seen, meet(visibleRect(*table), CGRect{ViewRenderer::originInWindow(*table), table->frame().size}));
      EXPECT_TRUE(covers(room, lowest)) << "scrolled to the bottom, the last row " << last.description() << " lies at "
                                        << describe(lowest) << ", not wholly where it is seen, " << describe(room);
      auto cell = table->cellForRowAtIndexPath(last);
      EXPECT_NE(cell, nullptr) << "the last row " << last.description() << " is drawn";
      if (cell && covers(room, lowest)) {
        UIView* hit = WindowInput::viewAt({lowest.midX(), lowest.midY()});
        EXPECT_TRUE(within(hit, cell.get())) << "a click on the last row " << last.description() << " reaches "
                                             << (hit ? typeid(*hit).name() : "nothing");
      }
    }
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) it->first->setContentOffset(it->second);
    UIWindow::layoutAllWindows();
  }

  // A label with text to show stands across the window, not off its sides.
  void checkLabelsInWindow(UIView& view, CGRect window) {
    if (view.isHidden() || view.alpha() <= 0.01) return;
    if (auto* label = dynamic_cast<UILabel*>(&view); label && !label->text().empty()) {
      CGRect r{ViewRenderer::originInWindow(view), view.frame().size};
      if (!empty(r) && r.maxY() > 0 && r.minY() < window.height()) {
        EXPECT_TRUE(r.minX() > -2 && r.maxX() < window.width() + 2)
            << "\"" << label->text() << "\" stands off the window at " << describe(r);
      }
    }
    for (auto& sub : view.subviews()) checkLabelsInWindow(*sub, window);
  }

  // A text cut short must have had no room: its frame could not grow to the right by
  // as much as it lacks before another drawing or the edge of its ground.
  void checkRoom(const std::vector<Record>& records, size_t index) {
    const Record& r = records[index];
    double lacking = r.naturalWidth - r.rect.width();
    if (lacking <= 0) {
      ADD_FAILURE() << "\"" << r.text << "\" is cut at its frame's bottom " << describe(r.rect);
      return;
    }
    auto* owner = static_cast<const UIView*>(r.owner);
    const UIView* g = ground(owner);
    double edge = ui.window().frame().size.width;
    if (g) edge = std::min(edge, ViewRenderer::originInWindow(*g).x + g->frame().size.width);
    double room = edge - 8 - r.rect.maxX();
    for (const Record& q : records) {
      if (&q == &r || q.kind == Record::Fill || empty(q.ink)) continue;
      bool level = q.ink.minY() < r.rect.maxY() && q.ink.maxY() > r.rect.minY();
      if (level && q.ink.minX() >= r.rect.maxX() - 1) room = std::min(room, q.ink.minX() - 4 - r.rect.maxX());
    }
    EXPECT_LT(room, lacking) << "\"" << r.text << "\" is cut short " << describe(r.rect) << " with " << room
                             << " points to spare for the " << lacking << " it lacks";
  }

  // Whatever can be tapped, where it shows, is inside the window and the pointer finds it
  // there.
  void checkControls(CGRect window) {
    for (const auto& named : UIInteraction::tappableViews()) {
      CGRect shown = visibleRect(*named.view);
      if (empty(shown) || shown.width() < 2 || shown.height() < 2) continue;  // scrolled away
      EXPECT_TRUE(covers(window, shown)) << "\"" << named.text << "\" lies outside the window at " << describe(shown);
      // A card or a row that cuts a control of its own leaves part of it unseen.
      CGRect whole{ViewRenderer::originInWindow(*named.view), named.view->frame().size};
      bool scrolled = false;
      for (UIView* s = named.view->superview(); s && !scrolled; s = s->superview()) scrolled = dynamic_cast<UIScrollView*>(s);
      if (!scrolled) {
        EXPECT_TRUE(covers(shown, whole)) << "\"" << named.text << "\" " << describe(whole) << " is cut to " << describe(shown);
      }
      CGPoint centre{shown.midX(), shown.midY()};
      UIView* hit = WindowInput::viewAt(centre);
      UIView* scroll = named.view->superview();
      while (scroll && !dynamic_cast<UIScrollView*>(scroll)) scroll = scroll->superview();
      // Under a bar or the floating card, a row of a list scrolls clear of it; what its
      // own page lays over it stays there.
      if (scroll && !within(hit, named.view) && !within(hit, scroll)) continue;
      EXPECT_TRUE(within(hit, named.view)) << "a click on \"" << named.text << "\" at " << describe(shown) << " reaches "
                                           << (hit ? typeid(*hit).name() : "nothing");
    }
    for (UIView* v : barsOf(ui.window()))
      if (auto* bar = dynamic_cast<UINavigationBar*>(v))
        for (const auto& place : BarDrawing::itemPlaces(*bar)) {
          CGPoint at = ViewRenderer::originInWindow(*bar);
          CGRect r{{at.x + place.rect.minX(), at.y + place.rect.minY()}, place.rect.size};
          EXPECT_TRUE(covers(window, r)) << "the bar's \"" << place.label << "\" lies outside the window";
        }
  }

  static std::vector<UIView*> barsOf(UIView& root) {
    std::vector<UIView*> out;
    if (root.isHidden()) return out;
    if (dynamic_cast<UIBarBase*>(&root)) out.push_back(&root);
    for (auto& sub : root.subviews())
      for (UIView* b : barsOf(*sub)) out.push_back(b);
    return out;
  }

  // A presented screen hides what it is presented over: drawn without it, the screen's
  // pixels are the same.
  void checkOpaque(UIViewController& presented, const std::string& name) {
    UIWindow::layoutAllWindows();
    UIView& below = *tabs->view();
    CGPoint at = ViewRenderer::originInWindow(*presented.view());
    CGRect area = meet(CGRect{at, presented.view()->frame().size}, CGRect{{0, 0}, ui.window().frame().size});
    ImagePixels over = ViewRenderer::render(ui.window(), 1, UIColor::whiteColor());
    below.setHidden(true);
    ImagePixels alone = ViewRenderer::render(ui.window(), 1, UIColor::whiteColor());
    below.setHidden(false);
    int differing = 0;
    for (int y = int(area.minY()) + 12; y < int(area.maxY()) - 12; ++y)
      for (int x = int(area.minX()) + 12; x < int(area.maxX()) - 12; ++x)
        differing += std::memcmp(over.at(x, y), alone.at(x, y), 3) != 0;
    EXPECT_EQ(differing, 0) << name << " shows what lies below it";
  }

  // A click at the centre of a view, as the window's pointer gives it.
  void click(const UIView& view, double dx = 0) {
    std::optional<ViewRenderer::Watched> drawing;  // the pointer acts on what the window shows
    if (!watched) drawing.emplace(false);
    CGRect r = visibleRect(view);
    CGPoint at{r.midX() + dx, r.midY()};
    WindowInput input;
    input.pointer(at, true);
    input.pointer(at, false);
    ui.runUntilIdle();
  }

  template <typename T>
  static T* find(UIView& root, const std::function<bool(T&)>& wanted = nullptr) {
    if (root.isHidden()) return nullptr;
    if (auto* v = dynamic_cast<T*>(&root); v && (!wanted || wanted(*v))) return v;
    for (auto& sub : root.subviews())
      if (auto* found = find<T>(*sub, wanted)) return found;
    return nullptr;
  }

  UINavigationController* navigation() { return dynamic_cast<UINavigationController*>(tabs->selectedViewController()); }
  void push(std::shared_ptr<UIViewController> screen) {
    navigation()->pushViewController(std::move(screen), false);
    ui.runUntilIdle();
  }

  // Laid out as the window lays screens out from the start (the Blue and Black runs), or
  // as the prompt's screenshot does, measuring text with the faces that draw it only
  // while drawing (the Light and Grey runs): what a screen sized once, when it was made,
  // must still hold its texts then.
  std::optional<ViewRenderer::Watched> watched;
  std::vector<std::string> checked;
};

TEST_P(RoadDrawing, EveryScreenOfTheRoadsReadsFitsAndAnswersThePointer) {
  std::string location = serveIndex("repo", stanza("com.example.tool", "1.0",
                                                   {{"Name", "Example Tool"}, {"Depends", "com.example.lib"},
                                                    {"Description", "a tool"}, {"Section", "Tweaks"}}) +
                                                stanza("com.example.lib", "1.0", {{"Name", "Example Library"}}));
  ASSERT_TRUE(refresh(location));
  ui.advance(5);
  auto& screens = *screenContext().screens;

  // The first run's welcome, presented full screen over the tabs.
  auto welcome = std::make_shared<InitViewController>(screenContext());
  tabs->presentViewController(welcome, false);
  ui.runUntilIdle();
  check("first-run");
  checkOpaque(*welcome, "the welcome");
  // An older device's palette chooser over it, each option ticked in turn.
  auto chooser = std::make_shared<DarkmodeViewController>(screenContext());
  welcome->presentViewController(chooser, false);
  ui.runUntilIdle();
  for (const char* option : {"Light", "Dark", "Pure Black", "Blue Black"}) {
    ASSERT_TRUE(ui.tap(option));
    check(std::string("palette-chooser-") + option);
  }
  DarkmodeViewController::resetOptionForTesting();
  welcome->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  // The walk's sign-in, then its import of other managers' sources.
  auto signIn = screenContext().screens->signIn(false, nullptr);
  welcome->presentViewController(signIn, false);
  ui.runUntilIdle();
  check("sign-in");
  auto import = screenContext().screens->sourceImport(false);
  signIn->presentViewController(import, false);
  ui.runUntilIdle();
  check("import");
  signIn->dismissViewControllerAnimated(false);
  welcome->dismissViewControllerAnimated(false);
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // Ten sources: the manage tab's page runs below the fold, to its last source.
  for (int i = 1; i < 10; ++i) addSourceRecord("http://127.0.0.1:9/more" + std::to_string(i) + "/");
  ui.runUntilIdle();
  for (const char* tab : {"Featured", "Categories", "Changes", "Manage"}) {
    ASSERT_TRUE(ui.tab(tab));
    ui.runUntilIdle();
    check(std::string("tab-") + tab);
  }
  // A refresh that failed: the card's third line says why, whole where it has room.
  ASSERT_TRUE(refresh(locationOf("gone")));
  check("refresh-failed-card");
  ui.advance(5);

  // The tab bar's icons: one glyph over each item.
  {
    UITabBar& bar = *tabs->tabBar();
    CGRect area{ViewRenderer::originInWindow(bar), bar.frame().size};
    size_t icons = 0;
    // A row's icons under the bar, where a long page runs on, are hidden by it.
    std::vector<Record> records = draw("tab-bar");
    for (size_t i = 0; i < records.size(); ++i)
      icons += records[i].kind == Record::Icon && covers(area, records[i].rect) && !hiddenLater(records, i);
    EXPECT_EQ(icons, bar.items().size()) << "the tab bar's icons";
  }

  // A source's row opens its categories beside its page, the choice in the bar.
  push(SegmentedViewController::initWithControllers(
      {screens.subcategories(kCategorySpecial_SourcePackages, location), screens.sourcePage(location, false)},
      {"Categories", "Source Info"}, 0));
  check("source-categories");
  auto* choice = find<UISegmentedControl>(*navigation()->navigationBar());
  ASSERT_NE(choice, nullptr) << "the segmented control stands in the bar";
  click(*choice, choice->frame().size.width / 4);
  EXPECT_EQ(choice->selectedSegmentIndex(), 1) << "a click on Source Info chooses it";
  navigation()->popViewControllerAnimated(false);
  ui.runUntilIdle();

  // The application's alert card and a system alert, with messages of several lines.
  const std::string longMessage =
      "There is no room left on the device for the archives of the queue, so nothing was downloaded or installed.";
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle("Disk full", longMessage, 1, "OK", std::nullopt, std::string());
  card->presentFromTopPresenter();
  ui.runUntilIdle();
  check("alert-card");
  card->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  auto alert = UIAlertController::alertControllerWithTitle("Remove Source?", longMessage, UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle("Cancel", UIAlertActionStyleCancel, nullptr));
  alert->addAction(UIAlertAction::actionWithTitle("Remove", UIAlertActionStyleDestructive, nullptr));
  tabs->presentViewController(alert, false);
  ui.runUntilIdle();
  check("alert");
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // A source's page, its packages, a package's page with its GET.
  push(screens.sourcePage(location, false));
  check("source");
  push(screens.packageList(KVPackageListKind::sourcePackages(location, "Repo")));
  check("packages");
  // A package's page in a sheet of its own, as a link opens it, then pushed on the tab.
  tabs->presentViewController(KVScreens::inNavigation(screens.package("com.example.tool")), false);
  ui.runUntilIdle();
  check("package-sheet");
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  push(screens.package("com.example.tool"));
  check("package");
  ASSERT_TRUE(ui.tap("GET"));
  ui.advance(1);
  check("package-queued");
  while (navigation()->viewControllers().size() > 1) navigation()->popViewControllerAnimated(false);
  ui.advance(5);
  check("manage-queued");

  // The queue's confirmation, the task screen.
  auto confirmation = screens.confirmation({});
  tabs->presentViewController(KVScreens::inNavigation(confirmation), false);
  ui.runUntilIdle();
  check("confirmation");
  checkOpaque(*tabs->presentedViewController(), "the confirmation");
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  preferences().setObject(Value(true), "ShowVerboseUI");
  tabs->presentTasks();
  ui.runUntilIdle();
  ASSERT_NE(tabs->presentedViewController(), nullptr);
  check("task");
  checkOpaque(*tabs->presentedViewController(), "the task screen");
  auto* close = find<UIButton>(*tabs->presentedViewController()->view(),
                               [](UIButton& b) { return b.currentTitle() == "Close"; });
  ASSERT_NE(close, nullptr);
  click(*close);
  ui.runUntilIdle();
  EXPECT_EQ(tabs->presentedViewController(), nullptr) << "a click on Close closes the task screen";

  // The settings: a click on a switch flips its preference.
  ASSERT_TRUE(ui.tab("Featured"));
  push(screens.account(nullptr));
  check("account");
  push(screens.settings());
  check("settings");
  auto* toggle = find<UISwitch>(ui.window(), [](UISwitch& s) { return s.accessibilityLabel() == "Black Dark Mode"; });
  ASSERT_NE(toggle, nullptr);
  UIScrollView* list = find<UIScrollView>(*navigation()->topViewController()->view());
  ASSERT_NE(list, nullptr);
  // Scrolled to it, as a person does, clear of the bars and the card.
  list->setContentOffset({0, std::min(list->maximumContentOffset().y,
                                      list->contentOffset().y + ViewRenderer::originInWindow(*toggle).y - 300)});
  ui.runUntilIdle();
  bool was = toggle->isOn();
  click(*toggle);
  // The rows are made again with the new state.
  toggle = find<UISwitch>(ui.window(), [](UISwitch& s) { return s.accessibilityLabel() == "Black Dark Mode"; });
  ASSERT_NE(toggle, nullptr);
  EXPECT_NE(toggle->isOn(), was) << "a click on the drawn switch flips it";
  EXPECT_EQ(preferences().boolForKey("TrueDarkMode"), !was) << "and its preference with it";
  list->setContentOffset({0, 120});
  check("settings-scrolled");
  list->setContentOffset({0, list->minimumContentOffset().y});

  // The search tab: the field takes a click and shows what is typed; the scope control
  // and Cancel stand in the bars, where the window shows them.
  ASSERT_TRUE(ui.tab("Search"));
  ui.runUntilIdle();
  check("search");
  if (!watched) watched.emplace(false);
  auto* search = find<UISearchBar>(ui.window());
  ASSERT_NE(search, nullptr);
  click(*search);
  ASSERT_TRUE(search->isEditing()) << "a click on the bar starts editing";
  ASSERT_TRUE(UIInteraction::type("Exa"));
  ui.advance(1);
  std::vector<Record> typed = draw("search-typed");
  EXPECT_TRUE(std::any_of(typed.begin(), typed.end(), [](const Record& r) { return r.text == "Exa"; }))
      << "the typed text is drawn";
  check("search-typed");
  ViewRenderer::settle(ui.window());
  auto* scope = find<UISegmentedControl>(*navigation()->view());
  ASSERT_NE(scope, nullptr) << "the scope control stands in the bar";
  click(*scope, scope->frame().size.width / 4);
  EXPECT_EQ(scope->selectedSegmentIndex(), 1) << "a click on Fuzzy chooses it";
  CGRect cancel = search->cancelButtonRect();
  ASSERT_FALSE(empty(cancel));
  CGPoint at = ViewRenderer::originInWindow(*search);
  WindowInput input;
  input.pointer({at.x + cancel.midX(), at.y + cancel.midY()}, true);
  input.pointer({at.x + cancel.midX(), at.y + cancel.midY()}, false);
  ui.advance(1);
  EXPECT_TRUE(search->text().empty()) << "Cancel takes the search back";

  std::string names;
  for (const auto& name : checked) names += " " + name;
  std::cout << "screens checked:" << names << "\n";
}

// A package's pages from depictions: poomsmart's repository with its addresses moved to
// the server, its banner and screenshots real pictures.
TEST_P(RoadDrawing, DepictionPagesDrawTheirBannerScreenshotsAndWebPage) {
  auto repo = testdata::find("repos/poomsmart/repo");
  if (!repo) GTEST_SKIP() << testdata::missingMessage("repos/poomsmart/repo");
  if (!watched) watched.emplace(false);  // the pages scrolled as the window shows them
  auto moved = [&](std::string text) {
    const std::string home = "https://poomsmart.github.io/repo/", here = server.url("/poomsmart/");
    for (size_t at = text.find(home); at != std::string::npos; at = text.find(home, at + here.size()))
      text.replace(at, home.size(), here);
    return text;
  };
  std::string location = serveIndex("poomsmart", moved(*Files::readText(*repo + "/Packages")));
  for (const char* folder : {"sileodepictions", "depictions"}) {
    std::filesystem::create_directories(repositories.file(std::string("poomsmart/") + folder));
    for (const auto& entry : std::filesystem::directory_iterator(*repo + "/" + folder))
      if (entry.is_regular_file())
        Files::writeAtomically(repositories.file(std::string("poomsmart/") + folder + "/" + entry.path().filename().string()),
                               moved(*Files::readText(entry.path())));
  }
  auto bytes = Files::read(*repo + "/CydiaIcon.png");
  TestHttpResponse picture;
  picture.body.assign(bytes->begin(), bytes->end());
  picture.contentType = "image/png";
  for (const char* path : {"/poomsmart/features/amber.png", "/poomsmart/screenshots/camelapsedplus/original.PNG",
                           "/poomsmart/screenshots/camelapsedplus/tweak.PNG"})
    server.respond(path, picture);
  ASSERT_TRUE(refresh(location));
  ui.advance(5);
  CGSize size = UIImage::imageWithData(*bytes)->size();
  auto& screens = *screenContext().screens;
  // The pictures of no name (downloaded ones) a person sees: no opaque fill drawn later
  // covers them.
  auto pictures = [&](const std::string& name) {
    std::vector<CGRect> drawn;
    std::vector<Record> records = draw(name);
    for (size_t i = 0; i < records.size(); ++i) {
      const Record& r = records[i];
      if (r.kind != Record::Image || !r.text.empty() || r.rect.width() <= 4) continue;
      bool covered = false;
      for (size_t j = i + 1; j < records.size() && !covered; ++j)
        covered = records[j].kind == Record::Fill && covers(records[j].rect, r.rect);
      if (!covered) drawn.push_back(r.rect);
    }
    return drawn;
  };
  auto open = [&](std::shared_ptr<UIViewController> page, const std::function<bool()>& loaded) {
    tabs->presentViewController(KVScreens::inNavigation(std::move(page)), false);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { ui.runUntilIdle(); return loaded(); }, 20)) << ui.screen();
    ui.advance(1);
  };

  // The banner over the page, as wide as the screen.
  open(screens.package("com.ps.amber"), [&] {
    auto* scroll = tabs->presentedViewController() ? find<UIScrollView>(*tabs->presentedViewController()->view()) : nullptr;
    return ui.screenShows("What's New") && scroll && UIScrollViewInteractiveHeader::interactiveHeader(*scroll);
  });
  check("depiction-banner");
  auto banner = pictures("depiction-banner");
  EXPECT_TRUE(std::any_of(banner.begin(), banner.end(), [&](CGRect r) { return r.width() >= ui.window().frame().size.width - 1; }))
      << "the banner is drawn across the page";
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // The screenshots at the pictures' own size.
  open(screens.package("com.ps.camelapsedplus"), [&] {
    auto record = package("com.ps.camelapsedplus");
    return record && record->screenshotsLocalPaths().size() == 2;
  });
  auto* page = tabs->presentedViewController();
  UIScrollView* scroll = find<UIScrollView>(*page->view());
  ASSERT_NE(scroll, nullptr);
  scroll->setContentOffset({0, std::min(scroll->maximumContentOffset().y, 250.0)});
  check("depiction-screenshots");
  // A picture shorter than the strip is drawn at its own size.
  CGSize item = size;
  auto shots = pictures("depiction-screenshots");
  EXPECT_GE(std::count_if(shots.begin(), shots.end(), [&](CGRect r) {
              return std::abs(r.width() - item.width) < 1 && r.height() <= item.height + 1;
            }), 1) << "a screenshot drawn as its item is laid out, " << item.width << " x " << item.height;
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();

  // A source that shows the original depictions: the web page under the header.
  open(screens.webDepiction("com.ps.amber", server.url("/poomsmart/depictions/amber.html"), {}), [&] {
    auto* web = find<WKWebView>(ui.window());
    return web && !web->isLoading() && !web->page().summary.paragraphs.empty();
  });
  check("depiction-web");
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
}

INSTANTIATE_TEST_SUITE_P(Palettes, RoadDrawing, ::testing::Values(0u, 1u, 2u, 3u),
                         [](const ::testing::TestParamInfo<uint32_t>& info) { return std::string(kPaletteNames[info.param]); });

}  // namespace
