// embed: turns a binary file into a C++ source holding it as a byte array.
//   qv_embed_tool SYMBOL INPUT OUTPUT.cpp [SIZE]
// An INPUT that cannot be read, or (with SIZE) has any other size, is an
// error: nothing is written and the build stops.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: %s SYMBOL INPUT OUTPUT [SIZE]\n", argv[0]);
    return 2;
  }
  const std::string symbol = argv[1];
  std::ifstream in{argv[2], std::ios::binary};
  if (!in) {
    std::fprintf(stderr, "%s: cannot read %s\n", symbol.c_str(), argv[2]);
    return 1;
  }
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (argc == 5) {
    char* end = nullptr;
    const unsigned long long want = std::strtoull(argv[4], &end, 10);
    if (end == argv[4] || *end != '\0') {
      std::fprintf(stderr, "%s: SIZE %s is not a number\n", symbol.c_str(), argv[4]);
      return 2;
    }
    if (bytes.size() != want) {
      std::fprintf(stderr, "%s: %s has %zu bytes, not %llu\n", symbol.c_str(), argv[2], bytes.size(), want);
      return 1;
    }
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
  if (std::fclose(out) != 0) {
    std::remove(argv[3]);
    return 1;
  }
  return 0;
}
