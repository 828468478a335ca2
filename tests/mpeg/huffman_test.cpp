// The Huffman lookups built from the embedded table text reproduce every
// code of the standard's tables (tests/mpeg/data/huffman_codes.txt, a copy
// of the plain-text code tables the generator reads).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "mpeg/huffman.h"

namespace cx::mpeg::test {
namespace {

struct Code {
  int table;
  uint32_t symbol;
  std::string bits;
};

std::vector<Code> ReadSourceCodes() {
  std::vector<Code> codes;
  std::ifstream in("mpeg-test-data/huffman_codes.txt");
  std::string line;
  int table = -1;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream f(line);
    if (line.rfind("table", 0) == 0) {
      std::string word;
      f >> word >> table;
      continue;
    }
    Code c{table, 0, ""};
    int length = 0;
    if (table >= 32) {
      int v, w, x, y;
      f >> v >> w >> x >> y >> length >> c.bits;
      c.symbol = static_cast<uint32_t>(v * 8 + w * 4 + x * 2 + y);
    } else {
      int x, y;
      f >> x >> y >> length >> c.bits;
      c.symbol = static_cast<uint32_t>(x * 16 + y);
    }
    if (static_cast<int>(c.bits.size()) == length) codes.push_back(c);
  }
  return codes;
}

TEST(Huffman, LookupsReproduceEverySourceCode) {
  const HuffmanTable* tables = LoadHuffmanTables();
  const std::vector<Code> codes = ReadSourceCodes();
  ASSERT_GT(codes.size(), 1400u) << "source code table not found";
  size_t checked = 0;
  for (const Code& c : codes) {
    const HuffmanTable& t = tables[c.table];
    ASSERT_NE(t.lookup, nullptr) << "table " << c.table;
    ASSERT_LE(c.bits.size(), t.maxLength) << "table " << c.table;
    uint32_t prefix = 0;
    for (char b : c.bits) prefix = (prefix << 1) | (b == '1');
    // Whatever follows the code in the stream, the lookup gives the code,
    // through the second level where it is longer than the first.
    const uint32_t pad = 32 - static_cast<uint32_t>(c.bits.size());
    for (uint32_t tail : {0u, ~0u, 0x55555555u, 0xA5C3F00Fu}) {
      const uint32_t entry = HuffmanLookup(t, (prefix << pad) | (tail >> (32 - pad)));
      ASSERT_EQ(LookupSymbol(entry), c.symbol) << "table " << c.table << " code " << c.bits;
      ASSERT_EQ(LookupLength(entry), c.bits.size()) << "table " << c.table << " code " << c.bits;
    }
    ++checked;
  }
  EXPECT_EQ(checked, codes.size());
}

TEST(Huffman, TableRecords) {
  const HuffmanTable* t = LoadHuffmanTables();
  // Tables without codes have no lookup: their regions decode as zeros.
  for (int i : {0, 4, 14}) {
    EXPECT_EQ(t[i].lookupBits, 0u) << i;
    EXPECT_EQ(t[i].lookup, nullptr) << i;
  }
  // Table 1: (x 1, y 1, 3 bits), (x 0, y 1, 3), twice (x 1, y 0, 2), four
  // times (x 0, y 0, 1).
  ASSERT_EQ(t[1].lookupBits, 3u);
  const uint32_t expected[8] = {0x311, 0x301, 0x210, 0x210, 0x100, 0x100, 0x100, 0x100};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(t[1].lookup[i], expected[i]) << i;
  // 17..23 share table 16's lookup and differ in linbits; 25..31 share 24's.
  const uint32_t linbits16[] = {1, 2, 3, 4, 6, 8, 10, 13};
  const uint32_t linbits24[] = {4, 5, 6, 7, 8, 9, 11, 13};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(t[16 + i].lookup, t[16].lookup);
    EXPECT_EQ(t[16 + i].linbits, linbits16[i]);
    EXPECT_EQ(t[16 + i].linmax, (1u << linbits16[i]) - 1);
    EXPECT_EQ(t[24 + i].lookup, t[24].lookup);
    EXPECT_EQ(t[24 + i].linbits, linbits24[i]);
  }
  EXPECT_EQ(t[17].reference, 16);
  EXPECT_EQ(t[16].reference, -1);
  EXPECT_EQ(t[13].maxLength, 19u);
  EXPECT_EQ(t[13].lookupBits, 8u);
  EXPECT_EQ(t[24].nodeCount, 512u);
  // Count1 table B: four bits, symbol 15 minus them.
  ASSERT_EQ(t[33].lookupBits, 4u);
  for (uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(LookupSymbol(t[33].lookup[i]), 15 - i);
    EXPECT_EQ(LookupLength(t[33].lookup[i]), 4u);
  }
  // Count1 table A: 000000 is symbol 11 (6 bits), 001100/001101 symbol 10 (5).
  EXPECT_EQ(t[32].lookup[0], 0x60B);
  EXPECT_EQ(t[32].lookup[0x0C], 0x50A);
  EXPECT_EQ(t[32].lookup[0x0D], 0x50A);
}

TEST(Huffman, TextKeepsTheTreeForm) {
  // Table 24 needs one hop node: node 60's 0-jump goes through node 310.
  int line = 0;
  while (line < kHuffmanTableTextLines && std::strncmp(HuffmanTableText[line], ".tbl 24 ", 8) != 0) {
    ++line;
  }
  ASSERT_LT(line + 2, kHuffmanTableTextLines);
  EXPECT_STREQ(HuffmanTableText[line], ".tbl 24 512 16 16 4");
  EXPECT_STREQ(HuffmanTableText[line + 1], ".td");
  std::istringstream data(HuffmanTableText[line + 2]);
  std::vector<unsigned> bytes;
  std::string token;
  while (data >> token) bytes.push_back(static_cast<unsigned>(std::stoul(token, nullptr, 16)));
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(bytes[120], 250u);  // node 60: (250, 1)
  EXPECT_EQ(bytes[121], 1u);
  EXPECT_EQ(bytes[620], 85u);   // hop node 310: (85, 250)
  EXPECT_EQ(bytes[621], 250u);
  // Every inner node's 1-child is the next node (pre-order, 1-branch first).
  for (size_t k = 0; k < 512; ++k) {
    if (bytes[2 * k] != 0 && k != 310) {
      EXPECT_EQ(bytes[2 * k + 1], 1u) << "node " << k;
    }
  }
  EXPECT_STREQ(HuffmanTableText[kHuffmanTableTextLines - 1], ".end");
}

}  // namespace
}  // namespace cx::mpeg::test
