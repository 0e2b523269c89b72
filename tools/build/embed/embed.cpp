// embed: turns a binary file into a C++ source holding it as a byte array.
//   qv_embed_tool SYMBOL INPUT OUTPUT.cpp
// A missing INPUT gives an empty array, so the tree builds before an asset exists.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SYMBOL INPUT OUTPUT\n", argv[0]);
    return 2;
  }
  const std::string symbol = argv[1];
  std::vector<unsigned char> bytes;
  if (std::ifstream in{argv[2], std::ios::binary}) {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::FILE* out = std::fopen(argv[3], "wb");
  if (!out) {
    std::perror(argv[3]);
    return 1;
  }
  std::fprintf(out, "#include <cstddef>\n");
  std::fprintf(out, "extern const unsigned char %s[];\nextern const std::size_t %s_size;\n", symbol.c_str(),
               symbol.c_str());
  std::fprintf(out, "alignas(16) const unsigned char %s[%zu] = {", symbol.c_str(), bytes.size() + 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::fprintf(out, "%s%u,", (i % 24 == 0) ? "\n" : "", bytes[i]);
  }
  std::fprintf(out, "0};\nconst std::size_t %s_size = %zu;\n", symbol.c_str(), bytes.size());
  return std::fclose(out) == 0 ? 0 : 1;
}
