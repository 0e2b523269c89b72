#include "tools/assets/art/lib/glyph_source.h"

#include <sstream>

namespace art {

namespace {

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

bool isSkippable(const std::string& line) {
  std::size_t i = line.find_first_not_of(" \t");
  return i == std::string::npos || line[i] == ';';
}

}  // namespace

int parseHexCode(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else return -1;
    v = v * 16 + d;
  }
  return v;
}

bool parseGlyphBlocks(const std::string& text, const std::vector<BlockShape>& shapes, std::vector<GlyphBlock>& out,
                      std::string& error) {
  std::vector<std::string> lines;
  {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(trimRight(line));
  }
  out.clear();
  std::size_t i = 0;
  while (i < lines.size()) {
    if (isSkippable(lines[i])) {
      ++i;
      continue;
    }
    GlyphBlock block;
    block.line = static_cast<int>(i) + 1;
    std::istringstream words(lines[i]);
    words >> block.kind;
    for (std::string w; words >> w;) block.args.push_back(w);
    const BlockShape* shape = nullptr;
    for (const BlockShape& s : shapes) {
      if (s.kind == block.kind) shape = &s;
    }
    if (!shape) {
      error = "line " + std::to_string(block.line) + ": unknown block '" + block.kind + "'";
      return false;
    }
    ++i;
    for (int r = 0; r < shape->rows; ++r, ++i) {
      if (i >= lines.size() || static_cast<int>(lines[i].size()) != shape->width) {
        error = "line " + std::to_string(i + 1) + ": expected a row of " + std::to_string(shape->width) +
                " marks for the block at line " + std::to_string(block.line);
        return false;
      }
      block.rows.push_back(lines[i]);
    }
    out.push_back(std::move(block));
  }
  return true;
}

}  // namespace art
