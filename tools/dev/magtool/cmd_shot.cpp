// magtool shot: one reader frame, drawn headless with the real content,
// assets and drawing code, in the state the reader shows after an article
// was opened from the menu (or with RULES / HELP for articles 12 and 10).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/navigation.h"
#include "assets/assets.h"
#include "content/content.h"
#include "render/graphics.h"
#include "render/render.h"
#include "tools/dev/imageio/png.h"
#include "tools/dev/magtool/magtool.h"

namespace {

constexpr const char* kUsage =
    "shot OUT.png [--skin 1|2] [--article N] [--top L] [--page 1|2] [--pointer X,Y] [--clock T]";

using app::kHelpArticle;
using app::kRulesArticle;

// The meter at rest: no module is heard.
class Silence : public render::NoteSource {
 public:
  uint16_t cellAt(int32_t) const override { return 0; }
};

bool parseInt(const char* text, long lo, long hi, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

int usage() {
  std::fprintf(stderr, "usage: magtool %s\n", kUsage);
  return 2;
}

int run(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string out = argv[1];
  int skin = 1, article = 11, top = 0, page = 2, pointerX = 1, pointerY = 1;
  double clock = 0.0;
  for (int i = 2; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    const char* value = hasValue ? argv[i + 1] : "";
    bool ok = hasValue;
    if (std::strcmp(argv[i], "--skin") == 0) {
      ok = ok && parseInt(value, 1, 2, skin);
    } else if (std::strcmp(argv[i], "--article") == 0) {
      ok = ok && parseInt(value, 1, content::kLastArticle, article);
    } else if (std::strcmp(argv[i], "--top") == 0) {
      ok = ok && parseInt(value, 0, content::kLastLine, top);
    } else if (std::strcmp(argv[i], "--page") == 0) {
      ok = ok && parseInt(value, 1, 2, page);
    } else if (std::strcmp(argv[i], "--pointer") == 0) {
      ok = ok && std::sscanf(value, "%d,%d", &pointerX, &pointerY) == 2;
    } else if (std::strcmp(argv[i], "--clock") == 0) {
      char* end = nullptr;
      clock = std::strtod(value, &end);
      ok = ok && end != value && *end == '\0';
    } else {
      ok = false;
    }
    if (!ok) return usage();
    ++i;
  }

  content::Content issue;
  content::buildContent(issue);
  content::ArticleView view;
  content::sizeArticleView(view);
  render::ViewState state;
  state.lineCount = content::openArticle(issue, view, article);

  // Buttons and menu as after the opening click.
  state.skin = skin;
  state.menuPage = page;
  state.buttonState[page == 1 ? render::kButtonCharts : render::kButtonArticles] = 1;
  state.buttonState[render::kButtonMusic1] = 1;
  if (article == kRulesArticle || article == kHelpArticle) {
    state.buttonState[article == kRulesArticle ? render::kButtonRules : render::kButtonHelp] = 1;
  } else {
    state.entryOpen[static_cast<std::size_t>(article)] = 1;
  }
  state.topLine = std::clamp(top, 0, std::max(state.lineCount - render::kVisibleRows, 0));
  // The reader keeps a page shorter than the screen a little lower.
  state.pixelOffset = state.lineCount < render::kVisibleRows ? render::kShortPageOffset : 0;
  state.animClock = clock;
  state.pointerX = std::clamp(pointerX, 1, 789);
  state.pointerY = std::clamp(pointerY, 1, 589);
  state.currentModule = 1;
  state.scrollerPos = 1;

  auto g = render::createGraphics();
  render::setUpRenderer(*g, render::ImageAssets{assets::grungeSkin(), assets::carbonSkin(), assets::textFont(),
                                                assets::bigFont()});
  render::buildSkinBackgrounds(*g);
  render::setMeterChannelCount(*g, 0);
  const Silence silence;
  render::drawReaderFrame(*g, render::ReaderScene{state, issue, view, silence});
  if (!imageio::writePng(out, render::framePixels(*g), render::kFrameWidth, render::kFrameHeight)) return 1;
  return 0;
}

magtool::Registration reg{{"shot", kUsage, &run}};

}  // namespace
