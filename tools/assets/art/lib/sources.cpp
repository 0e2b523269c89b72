#include "tools/assets/art/lib/sources.h"

#include "tools/assets/art/lib/big_font.h"
#include "tools/assets/art/lib/text_font.h"

namespace art {

std::string glyphDirectory() { return std::string(QV_ART_SOURCE_DIR) + "/glyphs"; }
std::string assetDirectory() { return std::string(QV_ART_SOURCE_DIR) + "/../../../assets"; }
std::string iconDirectory() { return std::string(QV_ART_SOURCE_DIR) + "/../../../dist/icons"; }

namespace {

bool buildFrom(const std::string& path, bool (*build)(const std::string&, IndexedPicture&, std::string&),
               IndexedPicture& font, std::string& error) {
  std::string text;
  if (!readTextFile(path, text)) {
    error = "cannot read " + path;
    return false;
  }
  if (!build(text, font, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace

bool makeTextFont(const std::string& glyphDir, IndexedPicture& font, std::string& error) {
  return buildFrom(glyphDir + "/text_font.txt", &buildTextFont, font, error);
}

bool makeBigFont(const std::string& glyphDir, IndexedPicture& font, std::string& error) {
  return buildFrom(glyphDir + "/big_font.txt", &buildBigFont, font, error);
}

}  // namespace art
